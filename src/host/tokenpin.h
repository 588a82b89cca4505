// The PIN of a smart card: a PKCS#11 token registered in the user's NSS database, whose certificates
// and keys the engine can use only once the token is logged in. NSS asks for it when it needs the
// token; the answer comes from the question given here, at most three tries a token, and is kept
// nowhere.
#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace ostrel::host {

inline constexpr int kPinAttempts = 3;

// token: its label; attempt: 1, then 2 and 3 after a wrong PIN. Nullopt: the user declined, and
// that token is not asked for again this session.
using PinQuestion = std::function<std::optional<QString>(const QString& token, int attempt)>;

// Answers the PIN requests of NSS with ask, on the GUI thread (they may come from any thread).
void AnswerTokenPins(PinQuestion ask);

} // namespace ostrel::host
