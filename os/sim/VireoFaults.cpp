#include "os/sim/VireoFaults.h"

#include <cstdio>

namespace HA::OS::SIM {

namespace {

std::string hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%lX", value);
    return text;
}

const char* replyWord(eInfoReply reply) { return reply == eInfoReply::Short ? "short" : "none"; }

}  // namespace

std::string faultWords(const VireoFaults& f)
{
    std::vector<std::string> words;
    if (f.transferSize)
        words.push_back("transfer-size=" + std::to_string(*f.transferSize));
    if (f.stallBlock)
        words.push_back("stall-block=" + std::to_string(*f.stallBlock));
    if (f.errorBlock) {
        std::string word = "error-block=" + std::to_string(*f.errorBlock);
        if (f.errorStatus != eDfuStatus::errWRITE)
            word += ":" + std::to_string(static_cast<unsigned>(f.errorStatus));
        words.push_back(word);
    }
    if (f.busyForeverBlock)
        words.push_back("busy-forever=" + std::to_string(*f.busyForeverBlock));
    for (const VireoFaults::tTimeout& t : f.timeouts)
        words.push_back("timeout=" + hex(t.code) + ":" + std::to_string(t.nth) +
                        (t.lateMs ? ":" + std::to_string(*t.lateMs) : std::string()));
    if (f.vanishBlock)
        words.push_back("vanish-block=" + std::to_string(*f.vanishBlock));
    if (f.wrongSerialAfterDetach)
        words.push_back("wrong-serial");
    if (f.noReturnAfterDetach)
        words.push_back("no-return=detach");
    if (f.noReturnAfterManifestation)
        words.push_back("no-return=manifest");
    if (f.noReturnAfterLeave)
        words.push_back("no-return=leave");
    if (f.lateReturnMs)
        words.push_back("late-return=" + std::to_string(f.lateReturnMs));
    if (f.revisionAfterUpdate)
        words.push_back("wrong-revision=" + hex(*f.revisionAfterUpdate));
    if (f.dfuInfo != eInfoReply::Full)
        words.push_back(std::string("dfu-info=") + replyWord(f.dfuInfo));
    if (f.deviceDescriptor != eInfoReply::Full)
        words.push_back(std::string("descriptor=") + replyWord(f.deviceDescriptor));
    if (f.failStrings)
        words.push_back("no-strings");
    if (f.openError)
        words.push_back("open-refused");
    if (words.empty())
        return "none";
    std::string text = words.front();
    for (size_t i = 1; i < words.size(); ++i)
        text += "," + words[i];
    return text;
}

}  // namespace HA::OS::SIM
