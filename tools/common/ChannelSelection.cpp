#include "tools/common/ChannelSelection.h"

#include "channel/ChannelId.h"
#include "text/NumberList.h"
#include "tools/common/OptionNumbers.h"

namespace {

struct ListKind {
    const char* name;
    int highest;
};

// In the order of ChannelSelection::List.
const ListKind listKinds[] = {
    {"--instrument", ChannelId::highest},
    {"--bins", ChannelId::highest},
    {"--stations", ChannelId::highestStation},
};

const ListKind& KindOf(ChannelSelection::List list) { return listKinds[static_cast<int>(list)]; }

CLI::Option* Shaped(CLI::Option* option, const ListKind& kind, const std::string& shown) {
    return option->type_name("LIST")->check(NumberListValidator(kind.highest))->default_str(shown);
}

}  // namespace

CLI::Option* ChannelSelection::AddInstrument(CLI::App& app, int& instrument, const std::string& help) {
    return app.add_option(KindOf(List::Instruments).name, instrument, help)
        ->type_name("N")
        ->check(DecimalValidator(0, ChannelId::highest))
        ->default_str(std::to_string(instrument));
}

// The check runs before the option's function, so the list read there is sound.
CLI::Option* ChannelSelection::AddList(CLI::App& app, List list, uint32_t& mask, const std::string& help,
                                       const std::string& name) {
    const ListKind& kind = KindOf(list);
    const int highest = kind.highest;
    CLI::Option* option = app.add_option_function<std::string>(
        name.empty() ? kind.name : name,
        [highest, &mask](const std::string& text) { ParseNumberList(text, highest, mask); }, help);
    return Shaped(option, kind, DescribeNumberList(mask));
}

CLI::Option* ChannelSelection::AddList(CLI::App& app, List list, std::string& text, const std::string& help,
                                       const std::string& name) {
    const ListKind& kind = KindOf(list);
    return Shaped(app.add_option(name.empty() ? kind.name : name, text, help), kind, text);
}
