#include <cstring>
#include <new>

#include "host/bot_instance.h"
#include "kit/text.h"
#include "kit/text_string.h"

namespace idlewarden {

namespace {
const char* const AddFormat = "You must specify a player's name. Format- !addexempt <PlayerName>";
const char* const DeleteFormat = "You must specify a player's name. Format- !delexempt <PlayerName>";
const char* const AlreadyExempt = "That player has already been recorded on the AFK exempt list!";
const char* const NotExempt = "That player was not found on the AFK exempt list";
const char* const NoneExempt = "No players are currently exempt from the AFK List";
const char* const AddedTail = " Added Successfully!";
const char* const DeletedTail = " Deleted Successfully!";
const char* const FrameLine = "|-----------------------------|";
const char* const TitleLine = "|    Player Exemption List    |";
const char* const PlayerHead = "| Player: ";
constexpr uint32_t PaddedWidth = 30;  // one less than the frame line

// Sends `parameter` followed by `tail`, or nothing when memory is short.
void replyWithParameter(BotInstance& bot, const PlayerRecord* issuer, const char* parameter, const char* tail) {
    String reply;
    if (reply.assign(parameter) && reply.append(tail)) bot.sendPrivate(issuer, reply.c_str());
}
}  // namespace

ExemptName* ExemptName::make(const char* name) {
    auto* record = new (std::nothrow) ExemptName{};  // zero-filled
    if (record == nullptr) return nullptr;
    uint32_t n = textLength(name);
    if (n > MaxLength) n = MaxLength;
    std::memcpy(record->text, name, n);
    return record;
}

bool BotInstance::isExempt(const char* name) const {
    return exemptList.findFirst([name](const ExemptName& e) { return equalsIgnoreCase(e.text, name); }) != nullptr;
}

void BotInstance::addExempt(const PlayerRecord* issuer, const char* parameter) {
    if (parameter[0] == '\0') {
        sendPrivate(issuer, AddFormat);
        return;
    }
    if (isExempt(parameter)) {
        sendPrivate(issuer, AlreadyExempt);
        return;
    }
    ExemptName* record = ExemptName::make(parameter);
    if (record == nullptr || !exemptList.append(record)) return;  // nothing changed
    // Every entry of the player goes: an exempt player is never spectated.
    // A name longer than a record holds exempts the players of its cut form,
    // so their watches end too.
    unwatchByName(parameter);
    if (!equalsIgnoreCase(record->text, parameter)) unwatchByName(record->text);
    replyWithParameter(*this, issuer, parameter, AddedTail);
}

void BotInstance::removeExempt(const PlayerRecord* issuer, const char* parameter) {
    if (parameter[0] == '\0') {
        sendPrivate(issuer, DeleteFormat);
        return;
    }
    auto* node = exemptList.findFirst([parameter](const ExemptName& e) { return equalsIgnoreCase(e.text, parameter); });
    if (node == nullptr) {
        sendPrivate(issuer, NotExempt);
        return;
    }
    exemptList.remove(node);
    if (enabled && roster != nullptr) {
        // The first roster player of that name is watched again from now,
        // unless spectating (or still exempt through another record).
        for (HostPlayerNode* p = roster->first; p != nullptr; p = p->next) {
            if (equalsIgnoreCase(p->item->name, parameter)) {
                if (p->item->ship != SpectatorShip) watch(p->item);
                break;
            }
        }
    }
    replyWithParameter(*this, issuer, parameter, DeletedTail);
}

void BotInstance::listExempt(const PlayerRecord* issuer) {
    const Addressee to(*this, issuer);
    if (exemptList.nodeCount == 0) {
        sendPrivate(to, NoneExempt);
        return;
    }
    // The names are copied before the first message: a host that re-enters
    // `talk` from its callback (a delexempt) may change the list meanwhile.
    // Without memory for the copy the name lines are skipped.
    const uint32_t count = exemptList.nodeCount;
    ExemptName* names = new (std::nothrow) ExemptName[count];
    if (names != nullptr) {
        uint32_t i = 0;
        for (auto* node = exemptList.firstNode; node != nullptr; node = node->nextNode) names[i++] = *node->item;
    }
    sendPrivate(to, FrameLine);
    sendPrivate(to, TitleLine);
    sendPrivate(to, FrameLine);
    String line;
    for (uint32_t i = 0; names != nullptr && i < count; ++i) {
        bool ok = line.assign(PlayerHead) && line.append(names[i].text);
        while (ok && line.length < PaddedWidth) ok = line.append(" ", 1);
        if (ok && line.append("|", 1)) sendPrivate(to, line.c_str());
    }
    sendPrivate(to, FrameLine);
    delete[] names;
}

}  // namespace idlewarden
