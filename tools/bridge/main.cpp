// lumivex-bridge: carries tracker channels between machines over DDS.
// `send` runs beside the tracking server and publishes its channels; `receive`
// runs beside a viewer and writes them into local channels of the same names.
// `rig` makes the certificates and permissions of a secure rig; `--rig` joins it.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "bridge/BridgeDomain.h"
#include "bridge/BridgeReceiver.h"
#include "bridge/BridgeSender.h"
#include "bridge/CycloneLog.h"
#include "rig/RigAuthority.h"
#include "rig/RigDocuments.h"
#include "bridge/SecuritySettings.h"
#include "channel/ChannelId.h"
#include "platform/Signals.h"
#include "platform/Timing.h"
#include "tools/common/ChannelMode.h"
#include "tools/common/ChannelSelection.h"
#include "text/NumberList.h"
#include "tools/common/OptionNumbers.h"
#include "tools/common/OptionRules.h"
#include "tools/common/RunCommandLine.h"
#include "text/Warning.h"

namespace {

struct Options {
    int instrument = 0;
    std::string instruments = "0";
    std::string bins = "0,1";
    uint32_t domain = 0;
    int pollMicros = 100;
    std::string mode = "600";
    std::string rig;
    std::string rigFolder;
    std::string name;
    std::string sendList;
    bool receiveOnly = false;
    long days = RigAuthority::defaultDays;
};

uint32_t Mask(const std::string& list) {
    uint32_t mask = 0;
    ParseNumberList(list, ChannelId::highest, mask);  // checked while parsing the options
    return mask;
}

// Joins the domain, securely when --rig names a member folder or Cyclone's
// own configuration names its security.
bool Join(BridgeDomain& domain, const Options& options, std::string& error) {
    CycloneLog::Route();
    SecuritySettings security;
    const bool rig = !options.rig.empty();
    if (rig && !security.Load(options.rig, error)) return false;
    if (!domain.Open(options.domain, rig ? &security : nullptr, error)) return false;
    if (!domain.Secured())
        PrintWarning("plain DDS (no --rig)",
                     "anyone who reaches DDS domain " + std::to_string(options.domain) + " can write these channels");
    return true;
}

int Send(const Options& options) {
    BridgeDomain domain;
    BridgeSender sender(options.instrument, Mask(options.bins));
    std::string error;
    if (!Join(domain, options, error) || !sender.Open(domain, error)) return PrintError(error);
    // The sender sleeps until a write is due and must be reading when it
    // lands. Should the request fail, it merely wakes a little later.
    (void)platform::WakeUpOnTime();
    std::printf("sending instrument %d on DDS domain %u\n", options.instrument, options.domain);
    std::fflush(stdout);
    if (!sender.Run(platform::StopRequested, std::chrono::microseconds(options.pollMicros), error))
        return PrintError(error);
    return 0;
}

int Receive(const Options& options) {
    unsigned mode = 0600;
    ParseChannelMode(options.mode, mode);  // checked while parsing the options
    BridgeDomain domain;
    BridgeReceiver receiver(Mask(options.instruments), Mask(options.bins), mode);
    std::string error;
    if (!Join(domain, options, error) || !receiver.Open(domain, error)) return PrintError(error);
    std::printf("receiving instruments %s bins %s on DDS domain %u\n", options.instruments.c_str(),
                options.bins.c_str(), options.domain);
    std::fflush(stdout);
    return receiver.Run(platform::StopRequested, error) ? 0 : PrintError(error);
}

std::string Member(const Options& options) { return options.rigFolder + "/" + options.name; }

int RigInit(const Options& options) {
    std::string error;
    if (!RigAuthority::Init(options.rigFolder, error)) return PrintError(error);
    std::printf("rig authority made in %s\n", options.rigFolder.c_str());
    return 0;
}

int RigAdd(const Options& options) {
    std::string error;
    std::time_t until = 0;
    if (!RigAuthority::Add(options.rigFolder, options.name, Mask(options.sendList), options.days, until, error))
        return PrintError(error);
    std::printf("%s: may %s until %s UTC; copy this folder to that machine\n", Member(options).c_str(),
                options.receiveOnly ? "receive" : ("send instruments " + options.sendList).c_str(),
                RigDocuments::Timestamp(until).c_str());
    return 0;
}

int RigRenew(const Options& options) {
    std::string error;
    std::time_t until = 0;
    if (!RigAuthority::Renew(options.rigFolder, options.name, options.days, until, error)) return PrintError(error);
    std::printf("%s: renewed until %s UTC; copy its %s and %s to that machine\n", Member(options).c_str(),
                RigDocuments::Timestamp(until).c_str(), RigAuthority::identityCertificate, RigAuthority::permissions);
    return 0;
}

int Rig(const Options& options, const CLI::App& rig) {
    if (rig.got_subcommand("init")) return RigInit(options);
    return rig.got_subcommand("add") ? RigAdd(options) : RigRenew(options);
}

void AddCommon(CLI::App& command, Options& options) {
    command.add_option("--domain", options.domain, "DDS domain id")
        ->type_name("ID")
        ->check(DecimalValidator(0, highestBridgeDomain))
        ->default_str("0");
    command.add_option("--rig", options.rig, "join a secure rig with this machine's folder from 'rig add'")
        ->type_name("DIR/NAME");
    ChannelSelection::AddList(command, ChannelSelection::List::Bins, options.bins, "bins");
}

void AddDays(CLI::App& command, Options& options) {
    command.add_option("--days", options.days, "days the certificate and grant are valid")
        ->type_name("N")
        ->check(DecimalValidator(1, RigAuthority::mostDays))
        ->capture_default_str();
}

void AddRig(CLI::App& app, Options& options) {
    CLI::App* rig = app.add_subcommand("rig", "make the certificates and permissions of a secure rig");
    rig->require_subcommand(1);
    CLI::App* init = rig->add_subcommand("init", "make DIR with the rig's certificate authority and governance");
    init->add_option("DIR", options.rigFolder, "the authority's folder")->required();
    CLI::App* add = rig->add_subcommand("add", "make DIR/NAME/ with one machine's identity and permissions");
    add->add_option("DIR", options.rigFolder, "the authority's folder")->required();
    add->add_option("NAME", options.name, "the machine's name: letters, digits, '-', '_'")->required();
    CLI::Option_group* role = add->add_option_group("role", "What the machine may do");
    ChannelSelection::AddList(*role, ChannelSelection::List::Instruments, options.sendList,
                              "instruments this machine may send", "--send");
    role->add_flag("--receive", options.receiveOnly, "this machine may only receive");
    role->require_option(1);
    AddDays(*add, options);
    CLI::App* renew =
        rig->add_subcommand("renew", "issue DIR/NAME/ a new certificate and grant for its key and instruments");
    renew->add_option("DIR", options.rigFolder, "the authority's folder")->required();
    renew->add_option("NAME", options.name, "the machine's name")->required();
    AddDays(*renew, options);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app("Carries tracker channels between machines over DDS.", "lumivex-bridge");
    app.require_subcommand(1);
    CLI::App* send = app.add_subcommand("send", "publish this machine's channels of one instrument");
    ChannelSelection::AddInstrument(*send, options.instrument, "instrument");
    send->add_option("--poll-us", options.pollMicros,
                     "microseconds between reads while a channel's writes are not foreseen, 0 to spin")
        ->type_name("US")
        ->check(DecimalValidator(0, 1000000))
        ->capture_default_str();
    AddCommon(*send, options);
    CLI::App* receive = app.add_subcommand("receive", "write the channels received into this machine's channels");
    ChannelSelection::AddList(*receive, ChannelSelection::List::Instruments, options.instruments, "instruments");
    receive->add_option("--mode", options.mode, "permission bits of the channels it creates")
        ->type_name("OCTAL")
        ->check(ChannelModeValidator())
        ->capture_default_str();
    AddCommon(*receive, options);
    AddRig(app, options);
    AddVersionFlag(app, "lumivex-bridge");
    AddHelpAllFlag(app);
    RefuseOptionLikeValues(app);
    CommandLineOutcome outcome = RunCommandLine(app, argc, argv);
    if (!outcome.run) return outcome.status;
    if (app.got_subcommand("rig")) return Rig(options, *app.get_subcommand("rig"));
    if (!platform::CatchStopRequests()) return PrintError("cannot catch SIGINT, SIGTERM and SIGHUP");
    return send->parsed() ? Send(options) : Receive(options);
}
