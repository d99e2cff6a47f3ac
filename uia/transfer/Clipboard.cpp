#include "uia/transfer/Clipboard.h"

#include "uia/platform/transfer/DirectDataObject.h"
#include "uia/transfer/ClipBoardFormat.h"

namespace HA::UIA {

void Clipboard::setData(ClipBoardFormat& format)
{
    DataObjectHolder holder(new DETAIL::DirectDataObject(format));
    OS::oleSetClipboard(holder.get());
}

bool Clipboard::getData(ClipBoardFormat& format)
{
    OS::IDataObject* object = nullptr;
    if (OS::oleGetClipboard(&object) != OS::S_OK || !object)
        return false;
    DataObjectHolder holder(object);
    object->Release();  // the holder keeps the one reference
    return holder.readFormat(format);
}

}  // namespace HA::UIA
