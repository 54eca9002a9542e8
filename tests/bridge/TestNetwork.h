#pragma once

#include <string>
#include <vector>

// Two network namespaces joined by a veth pair: machine 0 at 10.77.0.1 and
// machine 1 at 10.77.0.2, with nothing else in between. Names carry the
// test's process id; they are removed at the start (a crashed earlier run of
// the same id) and at the end. Needs root.
class TestNetwork {
public:
    TestNetwork();
    ~TestNetwork();
    TestNetwork(const TestNetwork&) = delete;
    TestNetwork& operator=(const TestNetwork&) = delete;

    // False, with the reason, when the namespaces cannot be made here.
    bool Create(std::string& why);

    // `arguments` run inside machine k.
    std::vector<std::string> On(int k, const std::vector<std::string>& arguments) const;
    // A Cyclone configuration for machine k: its veth only, no multicast, the
    // other machine as its unicast peer.
    std::string CycloneUri(int k) const;

    bool SetLink(bool up);
    // Drops (or, with `cut` false, lets through again) every packet machine
    // k receives: the link then works one way only.
    bool CutInto(int k, bool cut);
    // Drops this share of the packets each machine receives.
    bool DropRandomly(double probability);

private:
    bool Run(const std::vector<std::string>& arguments, std::string* output = nullptr) const;
    void Remove();
    std::string Namespace(int k) const;
    std::string Interface(int k) const;
    std::string Address(int k) const;

    std::string id;
};
