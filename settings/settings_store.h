#pragma once

#include "settings/account.h"

#include <QString>

// The current settings as kept in the per-user store of Orvanto/Orvanto, section
// "Settings" (on Windows the registry branch HKCU\Software\Orvanto\Orvanto): the
// current account under the keys Name (empty on a first run), Host (the outgoing
// server), Incoming, User, Pass, Reply, SavePass, RequirePass, Protocol, Input and
// Output, then AutoConnect and VoiceFormat.
struct StoredSettings
{
    Account account;
    bool autoConnect = false;
    int voiceFormat = 0;  // "VoiceFormat": 0 GSM 6.10 WAV, 1 MP3
};

namespace SettingsStore {

// Every value; a missing value, one of the wrong type or one out of range reads
// as its default. Numbers keep their 32-bit meaning: 4294967295 reads as -1.
StoredSettings load();

// Writes all twelve values (-1 as 4294967295). The store's file, where there is
// one, is rewritten whole and kept readable by its owner only.
void save(const StoredSettings &settings);

// Where the values live: a file path, or the registry path on Windows.
QString location();

}  // namespace SettingsStore
