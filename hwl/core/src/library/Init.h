#pragma once
// Start-up and shut-down of the widget library, its process-wide options and its one resource
// manager. init follows the general-purpose library's and the window framework's start-up;
// shutdown precedes theirs. User-interface thread only.

namespace HA::HWL {

class ManagerContainer;
class StyleSheets;

// Takes a reference on the general-purpose small pool and makes the resource manager (with
// its style sheets and their built-in rules). A second call without shutdown in between is a
// fatal error. Returns true.
bool init();
// Drops the manager (its pictures, fonts and style sheets) and the pool reference.
void shutdown();
bool isInitialized();

// The resource manager; null outside init and shutdown.
ManagerContainer* getManager();
// The manager's style sheets; a fatal error without a manager.
StyleSheets& getStyleSheets();

// Whether resources may come from a "skin" folder; off at start. Read once per manager, at
// its first resource request.
void setSkinLookup(bool on);
bool isSkinLookupEnabled();

// Whether canvases are made with an opaque buffer; off at start.
void setOpaqueCanvasBuffer(bool on);
bool isOpaqueCanvasBuffer();

}  // namespace HA::HWL
