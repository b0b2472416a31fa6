#include "cli/collection_tally.h"

#include <vector>

#include "cli/json_output.h"
#include "cli/report.h"

namespace {

// A count as collectors read it: "1,203".
std::string grouped(std::size_t value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

// "N thing" or "N things".
std::string counted(std::size_t n, const std::string& one, const std::string& many) {
    return grouped(n) + " " + (n == 1 ? one : many);
}

// The DAT's games in the order it lists them, each with the names of its ROMs.
std::vector<std::pair<std::string, std::vector<std::string>>> gamesOf(const Dat& dat) {
    std::vector<std::pair<std::string, std::vector<std::string>>> games;
    for (const DatRom& rom : dat.roms()) {
        if (games.empty() || games.back().first != rom.game) games.push_back({rom.game, {}});
        games.back().second.push_back(rom.name);
    }
    return games;
}

} // namespace

void CollectionTally::count(const RomIdentity& identity, const DatMatch& match) {
    if (!match.rom) {
        ++unlisted_;
        return;
    }
    present_.insert(match.rom->game);
    if (identity.order != match.rom->order) otherOrder_.insert(match.rom->game);
    if (match.rom->status == DatStatus::BadDump) badDumps_.insert(match.rom->game);
}

void CollectionTally::report() const {
    for (const auto& game : gamesOf(dat_)) {
        if (present_.count(game.first)) continue;
        if (jsonOutput())
            addJsonObject({{"game", jsonText(game.first)}, {"outcome", "missing"}, {"roms", game.second}});
        else
            reportLine("missing: " + game.first);
    }
    reportLine(line());
}

std::string CollectionTally::line() const {
    std::set<std::string> games;
    for (const DatRom& rom : dat_.roms()) games.insert(rom.game);
    std::string text = grouped(present_.size()) + " of " + counted(games.size(), "game", "games") + " present";
    std::vector<std::string> notes;
    if (!otherOrder_.empty()) notes.push_back(grouped(otherOrder_.size()) + " in another byte order than the DAT lists");
    if (!badDumps_.empty()) notes.push_back(counted(badDumps_.size(), "bad dump", "bad dumps"));
    for (std::size_t i = 0; i < notes.size(); ++i) text += (i == 0 ? " (" : ", ") + notes[i];
    if (!notes.empty()) text += ")";
    text += ", " + grouped(games.size() - present_.size()) + " missing";
    return text + ", " + counted(static_cast<std::size_t>(unlisted_), "file", "files") + " the DAT does not list";
}
