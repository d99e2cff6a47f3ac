// A widget's drop handlers: offers (kEventDragOver), drops (kEventDrop) and leaves
// (kEventDragLeave).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hwl/tests/WidgetTestSupport.h"

namespace HA::HWL {
namespace {

class DropHandlers : public ::testing::Test {
protected:
    // A generic handler named `name` that accepts when `accepts` and answers `dropAnswer`.
    std::shared_ptr<DropHandler> handler(const std::string& name, bool accepts, bool dropAnswer, bool withLeave)
    {
        auto h = std::make_shared<DropHandler>();
        h->accept = [this, name, accepts](UIA::DragEventData*) {
            calls.push_back("accept " + name);
            return accepts;
        };
        h->drop = [this, name, dropAnswer](UIA::DragEventData*) {
            calls.push_back("drop " + name);
            return dropAnswer;
        };
        if (withLeave)
            h->leave = [this, name] { calls.push_back("leave " + name); };
        return h;
    }

    bool send(int code) { return widget->handleEvent(code, &drag); }

    std::shared_ptr<Testing::TestWidget> widget = Testing::makeWidget();
    UIA::DragEventData drag;
    std::vector<std::string> calls;
};

TEST_F(DropHandlers, WithoutHandlersEveryOfferIsRefused)
{
    EXPECT_FALSE(send(UIA::kEventDragOver));
    EXPECT_FALSE(send(UIA::kEventDrop));
    EXPECT_TRUE(send(UIA::kEventDragLeave));
    EXPECT_FALSE(send(UIA::kEventDragFinished));
}

TEST_F(DropHandlers, TheFirstAcceptingHandlerTakesTheDrop)
{
    widget->addDropHandler(DragDropEventTarget::eGenericHandlers, handler("a", false, true, true));
    widget->addDropHandler(DragDropEventTarget::eGenericHandlers, handler("b", true, true, true));
    widget->addDropHandler(DragDropEventTarget::eGenericHandlers, handler("c", true, false, true));
    EXPECT_TRUE(send(UIA::kEventDragOver));
    EXPECT_TRUE(send(UIA::kEventDrop));
    EXPECT_EQ(calls, (std::vector<std::string>{"accept a", "accept b", "drop b"}));
}

TEST_F(DropHandlers, TheDropAnswerIsTheHandlers)
{
    widget->addDropHandler(DragDropEventTarget::eGenericHandlers, handler("c", true, false, false));
    EXPECT_TRUE(send(UIA::kEventDragOver));
    EXPECT_FALSE(send(UIA::kEventDrop));
}

TEST_F(DropHandlers, ALeaveRunsTheCurrentHandlersLeaveAndForgetsIt)
{
    widget->addDropHandler(DragDropEventTarget::eGenericHandlers, handler("a", true, true, true));
    send(UIA::kEventDragOver);
    calls.clear();
    EXPECT_TRUE(send(UIA::kEventDragLeave));
    EXPECT_FALSE(send(UIA::kEventDrop));
    EXPECT_EQ(calls, (std::vector<std::string>{"leave a"}));
}

TEST_F(DropHandlers, ARefusedOfferForgetsTheLastHandler)
{
    bool accepts = true;
    auto h = handler("a", true, true, false);
    h->accept = [&](UIA::DragEventData*) { return accepts; };
    widget->addDropHandler(DragDropEventTarget::eGenericHandlers, h);
    EXPECT_TRUE(send(UIA::kEventDragOver));
    accepts = false;
    EXPECT_FALSE(send(UIA::kEventDragOver));
    EXPECT_FALSE(send(UIA::kEventDrop));
}

TEST_F(DropHandlers, ALeaveNotificationTellsEveryLeaveHandler)
{
    widget->addDropHandler(DragDropEventTarget::eLeaveHandlers, handler("a", true, true, true));
    widget->addDropHandler(DragDropEventTarget::eLeaveHandlers, handler("b", true, true, true));
    widget->notifyEvent(UIA::kEventDragLeave, &drag);
    widget->notifyEvent(UIA::kEventDragOver, &drag);
    EXPECT_EQ(calls, (std::vector<std::string>{"leave a", "leave b"}));
}

TEST_F(DropHandlers, HandlersWithoutTheirFunctionsAreNotKept)
{
    auto noDrop = handler("a", true, true, true);
    noDrop->drop = nullptr;
    widget->addDropHandler(DragDropEventTarget::eGenericHandlers, noDrop);
    auto noAccept = handler("b", true, true, true);
    noAccept->accept = nullptr;
    widget->addDropHandler(DragDropEventTarget::eGenericHandlers, noAccept);
    auto noLeave = handler("c", true, true, false);
    widget->addDropHandler(DragDropEventTarget::eLeaveHandlers, noLeave);
    widget->addDropHandler(DragDropEventTarget::eTypedHandlers, handler("d", true, true, true));
    widget->addDropHandler(DragDropEventTarget::eGenericHandlers, nullptr);
    EXPECT_FALSE(send(UIA::kEventDragOver));
    widget->notifyEvent(UIA::kEventDragLeave, &drag);
    EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace HA::HWL
