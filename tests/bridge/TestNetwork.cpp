#include "tests/bridge/TestNetwork.h"

#include <unistd.h>

#include <cstdio>

#include "tests/support/ChildProcess.h"

using namespace testsupport;

TestNetwork::TestNetwork() : id(std::to_string(getpid())) {}

TestNetwork::~TestNetwork() { Remove(); }

std::string TestNetwork::Namespace(int k) const { return "lvxnet" + id + "_" + std::to_string(k); }
std::string TestNetwork::Interface(int k) const { return "lvx" + id + "v" + std::to_string(k); }
std::string TestNetwork::Address(int k) const { return "10.77.0." + std::to_string(k + 1); }

bool TestNetwork::Run(const std::vector<std::string>& arguments, std::string* output) const {
    Outcome run = RunToEnd(arguments, ChildEnvironment({}), Milliseconds(10000));
    if (output) *output = run.output;
    return run.finished && run.status == 0;
}

void TestNetwork::Remove() {
    for (int k : {0, 1}) Run({"ip", "netns", "delete", Namespace(k)});
}

bool TestNetwork::Create(std::string& why) {
    if (geteuid() != 0) return why = "making network namespaces needs root", false;
    Remove();
    std::vector<std::vector<std::string>> steps = {
        {"ip", "netns", "add", Namespace(0)},
        {"ip", "netns", "add", Namespace(1)},
        {"ip", "link", "add", Interface(0), "netns", Namespace(0), "type", "veth", "peer", "name", Interface(1),
         "netns", Namespace(1)},
    };
    for (int k : {0, 1}) {
        steps.push_back({"ip", "-n", Namespace(k), "address", "add", Address(k) + "/24", "dev", Interface(k)});
        steps.push_back({"ip", "-n", Namespace(k), "link", "set", "lo", "up"});
        steps.push_back({"ip", "-n", Namespace(k), "link", "set", Interface(k), "up"});
    }
    for (const auto& step : steps)
        if (!Run(step, &why))
            return why = "cannot make the test network (" + step[0] + " " + step[1] + " " + step[2] + "): " + why,
                   false;
    return true;
}

std::vector<std::string> TestNetwork::On(int k, const std::vector<std::string>& arguments) const {
    std::vector<std::string> wrapped = {"ip", "netns", "exec", Namespace(k)};
    wrapped.insert(wrapped.end(), arguments.begin(), arguments.end());
    return wrapped;
}

std::string TestNetwork::CycloneUri(int k) const {
    return "<General><Interfaces><NetworkInterface name=\"" + Interface(k) +
           "\"/></Interfaces><AllowMulticast>false</AllowMulticast></General><Discovery><ParticipantIndex>auto"
           "</ParticipantIndex><MaxAutoParticipantIndex>30</MaxAutoParticipantIndex><Peers><Peer address=\"" +
           Address(1 - k) + "\"/></Peers></Discovery>";
}

bool TestNetwork::SetLink(bool up) {
    return Run({"ip", "-n", Namespace(0), "link", "set", Interface(0), up ? "up" : "down"});
}

bool TestNetwork::CutInto(int k, bool cut) {
    return Run(On(k, {"iptables", cut ? "-I" : "-D", "INPUT", "-i", Interface(k), "-j", "DROP"}));
}

bool TestNetwork::DropRandomly(double probability) {
    char share[16];
    std::snprintf(share, sizeof share, "%.2f", probability);
    for (int k : {0, 1})
        if (!Run(On(k, {"iptables", "-A", "INPUT", "-i", Interface(k), "-m", "statistic", "--mode", "random",
                        "--probability", share, "-j", "DROP"})))
            return false;
    return true;
}
