#pragma once
// Answers every driver request of a fake device from the fuzz input, in order: a control byte
// (bits 0-1: 0 or 1 at once, 2 later, 3 never; bit 2: the request fails; bits 3-7: the delay
// in 50 ms steps on the manual clock), a length byte and that many reply bytes. Once the input
// is used up every request fails at once. A request sent without an overlapped record is always
// answered at once: the driver completes those before the call returns.

#include <memory>

#include "fuzz/FuzzInput.h"
#include "hxl2/tests/FakeDriver.h"
#include "os/kernel/Kernel.h"

namespace HA::FUZZ {

inline HXL2::Test::FakeDriver::Script replyScript(std::shared_ptr<FuzzInput> input)
{
    return [input](const OS::IoRequest& request) {
        HXL2::Test::FakeDriver::tReply reply;
        if (input->remaining() == 0) {
            reply.status = OS::ERROR_GEN_FAILURE;
            return reply;
        }
        const std::uint8_t control = input->u8();
        switch (control & 3) {
        case 2:
            reply.when = HXL2::Test::FakeDriver::tReply::Later;
            break;
        case 3:
            reply.when = HXL2::Test::FakeDriver::tReply::Never;
            break;
        default:
            break;
        }
        if (!request.isOverlapped())
            reply.when = HXL2::Test::FakeDriver::tReply::Now;
        if (control & 4)
            reply.status = OS::ERROR_GEN_FAILURE;
        reply.delay = OS::TimeMs(control >> 3) * 50;
        reply.data = input->bytes(input->u8());
        return reply;
    };
}

}  // namespace HA::FUZZ
