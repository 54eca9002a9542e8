#include "bridge/RefusedChannels.h"

namespace {

constexpr std::chrono::milliseconds unwatchedRetry{1000};

int Key(int instrument, int bin) { return ChannelId{instrument, bin}.Key(); }

}  // namespace

RefusedChannels::RefusedChannels() : retry(unwatchedRetry) {}

bool RefusedChannels::StillRefused(int instrument, int bin) const {
    auto found = failures.find(Key(instrument, bin));
    if (found == failures.end() || !found->second.untilChange) return false;
    return !retry.WorthRetrying({instrument, bin}, found->second.at);
}

void RefusedChannels::BeforeOpen() { attemptAt = retry.Mark(); }

bool RefusedChannels::Failed(int instrument, int bin, bool refusal) {
    return failures.insert_or_assign(Key(instrument, bin), Failure{attemptAt, refusal}).second;
}

void RefusedChannels::Opened(int instrument, int bin) { failures.erase(Key(instrument, bin)); }
