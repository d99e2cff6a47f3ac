#pragma once
// Drag and drop for the widget library: a process-wide delegate answers questions about the
// data of a drag and starts drags; DragDrop keeps the process's drag state. A drag's data is
// the framework's drag record (kEventDragOver, kEventDrop, kEventDragLeave), whose data
// field is a DataObjectHolder. User-interface thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gp/src/common/files/FilePath.h"
#include "os/shell/Ole.h"
#include "uia/events/Events.h"

namespace HA::UIA {

class ClipBoardFormat;
class EventTarget;
class Picture;

// The picture shown under the pointer during a drag, and the pointer's place in it.
struct DragImage {
    std::shared_ptr<const Picture> picture;
    int hotSpotX = 0;
    int hotSpotY = 0;
};

class IDragDropDelegate {
public:
    virtual ~IDragDropDelegate();
    // The drag's in-process object when its type is typeId, else null.
    virtual void* getInternalObjectOf(DragEventData* data, int typeId) = 0;
    virtual bool readFormat(DragEventData* data, ClipBoardFormat& format) = 0;
    virtual bool isInternalObject(DragEventData* data, int typeId) = 0;
    virtual bool hasClipboardFormat(DragEventData* data, unsigned formatId) = 0;
    virtual std::optional<std::vector<GP::FilePath>> getFileList(DragEventData* data) = 0;
    virtual std::optional<std::string> getText(DragEventData* data) = 0;
    virtual void* getInternalObject(DragEventData* data) = 0;
    virtual bool queryTextFormat(DragEventData* data) = 0;
    virtual bool queryFileListFormat(DragEventData* data) = 0;
    // A process-wide number for a type name.
    virtual int getDragTypeId(const std::string& typeName) = 0;
    virtual void startTextDrag(const std::string& text, int allowed, std::shared_ptr<DragImage> image,
                               std::function<void()> done) = 0;
    // The object's type id travels with it (see getInternalObjectOf).
    virtual void startObjectDrag(std::shared_ptr<void> object, int typeId, int allowed,
                                 std::shared_ptr<DragImage> image, std::function<void()> done) = 0;
    virtual void startObjectDragFrom(EventTarget* source, std::shared_ptr<void> object, int typeId, int allowed,
                                     std::shared_ptr<DragImage> image, std::function<void()> done) = 0;
    virtual OS::IDataObject* getDataObject(DragEventData* data) = 0;
};

// The delegate of a program with windows: drags through the platform.
class WindowingDragDropDelegate : public IDragDropDelegate {
public:
    void* getInternalObjectOf(DragEventData* data, int typeId) override;
    bool readFormat(DragEventData* data, ClipBoardFormat& format) override;
    bool isInternalObject(DragEventData* data, int typeId) override;
    bool hasClipboardFormat(DragEventData* data, unsigned formatId) override;
    std::optional<std::vector<GP::FilePath>> getFileList(DragEventData* data) override;
    std::optional<std::string> getText(DragEventData* data) override;
    void* getInternalObject(DragEventData* data) override;
    bool queryTextFormat(DragEventData* data) override;
    bool queryFileListFormat(DragEventData* data) override;
    int getDragTypeId(const std::string& typeName) override;
    void startTextDrag(const std::string& text, int allowed, std::shared_ptr<DragImage> image,
                       std::function<void()> done) override;
    void startObjectDrag(std::shared_ptr<void> object, int typeId, int allowed, std::shared_ptr<DragImage> image,
                         std::function<void()> done) override;
    void startObjectDragFrom(EventTarget* source, std::shared_ptr<void> object, int typeId, int allowed,
                             std::shared_ptr<DragImage> image, std::function<void()> done) override;
    OS::IDataObject* getDataObject(DragEventData* data) override;
};

// The delegate without drag and drop: answers no, null or empty and starts nothing.
class NOPDragDropDelegate : public IDragDropDelegate {
public:
    void* getInternalObjectOf(DragEventData*, int) override { return nullptr; }
    bool readFormat(DragEventData*, ClipBoardFormat&) override { return false; }
    bool isInternalObject(DragEventData*, int) override { return false; }
    bool hasClipboardFormat(DragEventData*, unsigned) override { return false; }
    std::optional<std::vector<GP::FilePath>> getFileList(DragEventData*) override { return std::nullopt; }
    std::optional<std::string> getText(DragEventData*) override { return std::nullopt; }
    void* getInternalObject(DragEventData*) override { return nullptr; }
    bool queryTextFormat(DragEventData*) override { return false; }
    bool queryFileListFormat(DragEventData*) override { return false; }
    int getDragTypeId(const std::string&) override { return 0; }
    void startTextDrag(const std::string&, int, std::shared_ptr<DragImage>, std::function<void()>) override {}
    void startObjectDrag(std::shared_ptr<void>, int, int, std::shared_ptr<DragImage>, std::function<void()>) override
    {
    }
    void startObjectDragFrom(EventTarget*, std::shared_ptr<void>, int, int, std::shared_ptr<DragImage>,
                             std::function<void()>) override
    {
    }
    OS::IDataObject* getDataObject(DragEventData*) override { return nullptr; }
};

class DragDrop {
public:
    // Installs the delegate (owned), deleting the previous one; null installs a NOP delegate.
    static void setDelegate(IDragDropDelegate* delegate);
    static IDragDropDelegate& getDelegate();

    static bool readFormat(DragEventData* data, ClipBoardFormat& format);
    static bool hasClipboardFormat(DragEventData* data, unsigned formatId);
    static void* getInternalObject(DragEventData* data);

    // Runs an outgoing drag of the format; the source target gets kEventDragFinished with the
    // effect; then the completion callback runs once. The in-process object (may be null)
    // lives until then.
    static void runDrag(ClipBoardFormat& format, EventTarget* source, std::shared_ptr<void> object, int typeId,
                        int allowed, std::shared_ptr<DragImage> image, std::function<void()> done);
};

// Runs the platform's drag of a data object; the effect: 0x40 when cancelled, 0x80 when
// nothing took it, else the drop's effect.
int doDragDrop(OS::IDataObject* data, int allowed, const std::shared_ptr<DragImage>& image);

constexpr int kDragEffectCancelled = 0x40;
constexpr int kDragEffectNothing = 0x80;

namespace DETAIL {

// The drag state of the process.
struct DragState {
    EventTarget* currentTarget = nullptr;
    int currentEffect = 0;
    std::vector<EventTarget*> listeners;
    // The outgoing drag.
    EventTarget* source = nullptr;
    std::function<void()> done;
    std::uintptr_t objectWord = 0;
    int objectType = 0;
    std::shared_ptr<void> object;
    bool dragging = false;
};
DragState& dragState();

}  // namespace DETAIL

}  // namespace HA::UIA
