#include "os/shell/Ole.h"

#include <mutex>
#include <vector>

namespace HA::OS {

struct DragScript::State {
    enum Kind { Move, Escape, Release };
    struct Step {
        Kind kind;
        HWND hwnd;
        POINT point;
        DWORD keys;
    };
    std::vector<Step> steps;
    int drags = 0;
    std::vector<DWORD> feedback;
};

namespace {

// The scripts alive; the newest plays the next drag.
struct ScriptList {
    std::mutex mutex;
    std::vector<DragScript::State*> scripts;
};

ScriptList& state()
{
    static auto* s = new ScriptList;
    return *s;
}

}  // namespace

DragScript::DragScript() : mState(std::make_shared<State>())
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().scripts.push_back(mState.get());
}

DragScript::~DragScript()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    auto& list = state().scripts;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == mState.get()) {
            list.erase(it);
            break;
        }
    }
}

DragScript& DragScript::moveTo(HWND hwnd, POINT screen, DWORD keyState)
{
    mState->steps.push_back({State::Move, hwnd, screen, keyState});
    return *this;
}

DragScript& DragScript::pressEscape()
{
    mState->steps.push_back({State::Escape, nullptr, {0, 0}, MK_LBUTTON});
    return *this;
}

DragScript& DragScript::release(DWORD keyState)
{
    mState->steps.push_back({State::Release, nullptr, {0, 0}, keyState});
    return *this;
}

int DragScript::dragCount() const { return mState->drags; }
std::vector<DWORD> DragScript::feedback() const { return mState->feedback; }

HRESULT doDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect)
{
    if (!data || !source || !effect)
        return E_INVALIDARG;
    *effect = DROPEFFECT_NONE;
    DragScript::State* script = nullptr;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        if (!state().scripts.empty())
            script = state().scripts.back();
    }
    if (!script)
        return DRAGDROP_S_CANCEL;
    ++script->drags;
    script->feedback.clear();

    using State = DragScript::State;
    IDropTarget* current = nullptr;
    POINTL point{0, 0};
    DWORD keys = MK_LBUTTON;
    DWORD accepted = DROPEFFECT_NONE;
    auto leaveCurrent = [&] {
        if (current) {
            current->DragLeave();
            current->Release();
            current = nullptr;
        }
    };
    // The steps, then one release; a source that wants to go on after that is cancelled.
    const std::size_t steps = script->steps.size();
    for (std::size_t i = 0; i <= steps; ++i) {
        State::Step step = i < steps ? script->steps[i] : State::Step{State::Release, nullptr, {0, 0}, 0};
        if (step.kind != State::Escape)
            keys = step.keys;
        HRESULT answer = source->QueryContinueDrag(step.kind == State::Escape, keys);
        if (answer == DRAGDROP_S_CANCEL)
            break;
        if (answer == DRAGDROP_S_DROP) {
            if (current) {
                DWORD e = allowed;
                IDropTarget* target = current;
                current = nullptr;
                if (target->Drop(data, keys, point, &e) == S_OK)
                    *effect = e & (allowed | DROPEFFECT_SCROLL) & ~DROPEFFECT_SCROLL;
                target->Release();
            }
            return DRAGDROP_S_DROP;
        }
        if (step.kind == State::Move) {
            point = {step.point.x, step.point.y};
            IDropTarget* target = step.hwnd ? registeredDropTarget(step.hwnd) : nullptr;
            DWORD e = allowed;
            if (target != current) {
                leaveCurrent();
                current = target;
                if (current) {
                    current->AddRef();
                    if (current->DragEnter(data, keys, point, &e) != S_OK)
                        e = DROPEFFECT_NONE;
                }
            } else if (current && current->DragOver(keys, point, &e) != S_OK) {
                e = DROPEFFECT_NONE;
            }
            accepted = current ? e : DROPEFFECT_NONE;
            script->feedback.push_back(accepted);
            source->GiveFeedback(accepted);
        }
    }
    leaveCurrent();
    return DRAGDROP_S_CANCEL;
}

}  // namespace HA::OS
