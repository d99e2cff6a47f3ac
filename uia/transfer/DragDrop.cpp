#include "uia/transfer/DragDrop.h"

#include "uia/events/EventTarget.h"
#include "uia/platform/transfer/DirectDataObject.h"
#include "uia/transfer/ClipBoardFormat.h"

namespace HA::UIA {

namespace {

const DataObjectHolder* holderOf(const DragEventData* data)
{
    return data ? static_cast<const DataObjectHolder*>(data->data) : nullptr;
}

std::unique_ptr<IDragDropDelegate>& installed()
{
    static std::unique_ptr<IDragDropDelegate> delegate = std::make_unique<NOPDragDropDelegate>();
    return delegate;
}

// The drag's in-process object: only the live object of this process's own drag, so that a
// word from another process or a stale drag is never taken for an address.
void* liveObject(DragEventData* data, int* typeId)
{
    InternalClipBoardFormat format;
    const DataObjectHolder* holder = holderOf(data);
    if (!holder || !holder->readFormat(format))
        return nullptr;
    const DETAIL::DragState& s = DETAIL::dragState();
    if (format.source != InternalClipBoardFormat::processSourceWord() || !s.object || format.object != s.objectWord)
        return nullptr;
    if (typeId)
        *typeId = s.objectType;
    return s.object.get();
}

}  // namespace

namespace DETAIL {
DragState& dragState()
{
    static auto* s = new DragState;
    return *s;
}
}  // namespace DETAIL

IDragDropDelegate::~IDragDropDelegate() = default;

// ---- Windowing delegate -----------------------------------------------------------------

void* WindowingDragDropDelegate::getInternalObjectOf(DragEventData* data, int typeId)
{
    int type = 0;
    void* object = liveObject(data, &type);
    return object && type == typeId ? object : nullptr;
}

bool WindowingDragDropDelegate::readFormat(DragEventData* data, ClipBoardFormat& format)
{
    const DataObjectHolder* holder = holderOf(data);
    return holder && holder->readFormat(format);
}

bool WindowingDragDropDelegate::isInternalObject(DragEventData* data, int typeId)
{
    return getInternalObjectOf(data, typeId) != nullptr;
}

bool WindowingDragDropDelegate::hasClipboardFormat(DragEventData* data, unsigned formatId)
{
    const DataObjectHolder* holder = holderOf(data);
    return holder && holder->hasFormat(formatId);
}

std::optional<std::vector<GP::FilePath>> WindowingDragDropDelegate::getFileList(DragEventData* data)
{
    FileListClipBoardFormat format;
    if (!readFormat(data, format))
        return std::nullopt;
    return format.files();
}

std::optional<std::string> WindowingDragDropDelegate::getText(DragEventData* data)
{
    TextClipBoardFormat format;
    if (!readFormat(data, format))
        return std::nullopt;
    return format.getTextUtf8();
}

void* WindowingDragDropDelegate::getInternalObject(DragEventData* data) { return liveObject(data, nullptr); }

bool WindowingDragDropDelegate::queryTextFormat(DragEventData* data)
{
    return hasClipboardFormat(data, getClipboardFormatId(TextClipBoardFormat::kName));
}

bool WindowingDragDropDelegate::queryFileListFormat(DragEventData* data)
{
    return hasClipboardFormat(data, getClipboardFormatId(FileListClipBoardFormat::kName));
}

int WindowingDragDropDelegate::getDragTypeId(const std::string& typeName)
{
    static std::map<std::string, int> ids;
    static int counter = 0x3F3F3F3F;
    auto it = ids.find(typeName);
    if (it != ids.end())
        return it->second;
    return ids[typeName] = ++counter;
}

void WindowingDragDropDelegate::startTextDrag(const std::string& text, int allowed, std::shared_ptr<DragImage> image,
                                              std::function<void()> done)
{
    TextClipBoardFormat format;
    format.setText(text);
    DragDrop::runDrag(format, nullptr, nullptr, 0, allowed, std::move(image), std::move(done));
}

void WindowingDragDropDelegate::startObjectDrag(std::shared_ptr<void> object, int typeId, int allowed,
                                                std::shared_ptr<DragImage> image, std::function<void()> done)
{
    startObjectDragFrom(nullptr, std::move(object), typeId, allowed, std::move(image), std::move(done));
}

void WindowingDragDropDelegate::startObjectDragFrom(EventTarget* source, std::shared_ptr<void> object, int typeId,
                                                    int allowed, std::shared_ptr<DragImage> image,
                                                    std::function<void()> done)
{
    InternalClipBoardFormat format;
    format.object = reinterpret_cast<std::uintptr_t>(object.get());
    format.source = InternalClipBoardFormat::processSourceWord();
    DragDrop::runDrag(format, source, std::move(object), typeId, allowed, std::move(image), std::move(done));
}

OS::IDataObject* WindowingDragDropDelegate::getDataObject(DragEventData* data)
{
    const DataObjectHolder* holder = holderOf(data);
    return holder ? holder->get() : nullptr;
}

// ---- DragDrop ---------------------------------------------------------------------------

void DragDrop::setDelegate(IDragDropDelegate* delegate)
{
    installed().reset(delegate ? delegate : new NOPDragDropDelegate);
}

IDragDropDelegate& DragDrop::getDelegate() { return *installed(); }

bool DragDrop::readFormat(DragEventData* data, ClipBoardFormat& format)
{
    return getDelegate().readFormat(data, format);
}

bool DragDrop::hasClipboardFormat(DragEventData* data, unsigned formatId)
{
    return getDelegate().hasClipboardFormat(data, formatId);
}

void* DragDrop::getInternalObject(DragEventData* data) { return getDelegate().getInternalObject(data); }

void DragDrop::runDrag(ClipBoardFormat& format, EventTarget* source, std::shared_ptr<void> object, int typeId,
                       int allowed, std::shared_ptr<DragImage> image, std::function<void()> done)
{
    DETAIL::DragState& s = DETAIL::dragState();
    if (s.dragging) {
        // One modal drag at a time; the second one ends at once without a drop.
        if (done)
            done();
        return;
    }
    s.dragging = true;
    s.source = source;
    s.done = std::move(done);
    s.objectWord = reinterpret_cast<std::uintptr_t>(object.get());
    s.objectType = typeId;
    s.object = std::move(object);

    int effect = 0;
    {
        DataObjectHolder holder(new DETAIL::DirectDataObject(format));
        effect = doDragDrop(holder.get(), allowed, image);
    }

    EventTarget* target = s.source;
    std::vector<EventTarget*> listeners;
    listeners.swap(s.listeners);
    s.source = nullptr;
    if (target)
        target->handleEvent(kEventDragFinished, &effect);
    for (EventTarget* listener : listeners)
        listener->notifyEvent(kEventDragFinished, &effect);

    s.dragging = false;
    std::function<void()> callback;
    callback.swap(s.done);
    std::shared_ptr<void> keep;
    keep.swap(s.object);
    s.objectWord = 0;
    s.objectType = 0;
    if (callback)
        callback();
}

}  // namespace HA::UIA
