#include "os/shell/Ole.h"

#include <mutex>

namespace HA::OS {

namespace {

// What the clipboard holds and how often it was set.
struct ClipboardState {
    std::mutex mutex;
    IDataObject* clipboard = nullptr;
    int clipboardSets = 0;
};

ClipboardState& state()
{
    static auto* s = new ClipboardState;
    return *s;
}

}  // namespace

HRESULT oleSetClipboard(IDataObject* data)
{
    ClipboardState& s = state();
    IDataObject* old = nullptr;
    if (data)
        data->AddRef();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        old = s.clipboard;
        s.clipboard = data;
        ++s.clipboardSets;
    }
    if (old)
        old->Release();
    return S_OK;
}

HRESULT oleGetClipboard(IDataObject** data)
{
    if (!data)
        return E_POINTER;
    ClipboardState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    *data = s.clipboard;
    if (!s.clipboard)
        return CLIPBRD_E_BAD_DATA;
    s.clipboard->AddRef();
    return S_OK;
}

ClipboardScope::ClipboardScope()
{
    oleSetClipboard(nullptr);
    std::lock_guard<std::mutex> lock(state().mutex);
    state().clipboardSets = 0;
}

ClipboardScope::~ClipboardScope() { oleSetClipboard(nullptr); }

int ClipboardScope::setCount() const
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().clipboardSets;
}

namespace {
void offer(IDataObject* data)
{
    IDataObject* old = nullptr;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        old = state().clipboard;
        state().clipboard = data;  // takes the creation reference
    }
    if (old)
        old->Release();
}
}  // namespace

void ClipboardScope::offerText(const WString& text)
{
    offer(createForeignDataObject({{CF_UNICODETEXT, foreignTextBytes(text)}}));
}

void ClipboardScope::offerFileList(const std::vector<WString>& paths, bool wide)
{
    offer(createForeignDataObject({{CF_HDROP, foreignFileListBytes(paths, wide)}}));
}

}  // namespace HA::OS
