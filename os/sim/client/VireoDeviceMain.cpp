// The client of scripts/device.sh: hands one request to the simulated Vireo Interface of the
// user's running updater and prints its answer line.
//
//   vireo-device plug|unplug|power-cycle|show
//
// Exit status 0 when the device did what was asked (or said why nothing was needed), 1 when
// no updater runs, it refused or the request was wrong, 2 for a wrong command line.

#include <cstdio>
#include <string>

#include "os/sim/DeviceControl.h"

namespace {

constexpr int kAnswerMs = 5000;

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: device.sh plug|unplug|power-cycle|show\n");
        return 2;
    }
    const std::string request = argv[1];
    // The control reads up to the first line break: the rest would pass unseen.
    if (request.find('\n') != std::string::npos) {
        std::fprintf(stderr, "device.sh: a request is one line; the requests are plug, unplug, power-cycle and show\n");
        return 1;
    }
    std::string answer;
    switch (HA::OS::SIM::sendDeviceRequest(request, kAnswerMs, answer)) {
    case HA::OS::SIM::eSent::NobodyListens:
        std::fprintf(stderr, "device.sh: no updater is running for this user, so there is no device to reach\n");
        return 1;
    case HA::OS::SIM::eSent::NoAnswer:
        std::fprintf(stderr, "device.sh: the running updater gave no answer\n");
        return 1;
    case HA::OS::SIM::eSent::Answered:
        break;
    }
    const std::string ok = "ok: ";
    if (answer.compare(0, ok.size(), ok) == 0) {
        std::printf("%s\n", answer.substr(ok.size()).c_str());
        return 0;
    }
    const std::string error = "error: ";
    std::fprintf(stderr, "device.sh: %s\n",
                 answer.compare(0, error.size(), error) == 0 ? answer.substr(error.size()).c_str() : answer.c_str());
    return 1;
}
