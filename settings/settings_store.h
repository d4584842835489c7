#pragma once

#include "settings/account.h"
#include "storage/durable_file.h"

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

// Every value. Keys are found in any letter case, as the registry allowed. A text
// reads as the text it holds, whatever type the store gives it (a value with a
// comma written by hand without quotes, say). A number that is none, or one out of
// range, reads as its default, as in the profiles file; numbers keep their 32-bit
// meaning: 4294967295 reads as -1.
StoredSettings load();

// Writes all twelve values (-1 as 4294967295). The store's file, where there is one,
// is replaced whole and durably, readable by its owner only: a failed or short
// write keeps the old file whole and gives its cause.
DurableFile::Result save(const StoredSettings &settings);

// Where the values live: a file path, or the registry path on Windows.
QString location();

}  // namespace SettingsStore
