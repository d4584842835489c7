#pragma once

#include <QString>

// The current settings as kept in the per-user store of Orvanto/Orvanto, section
// "Settings" (on Windows the registry branch HKCU\Software\Orvanto\Orvanto).
struct StoredSettings
{
    QString name;      // "Name": the current profile; empty on a first run
    QString host;      // "Host": outgoing server
    QString incoming;  // "Incoming"
    QString user;      // "User"
    QString pass;      // "Pass"
    QString reply;     // "Reply"
    int savePass = 0;     // "SavePass"
    int requirePass = 0;  // "RequirePass"
    int protocol = 0;     // "Protocol": 0 SMTP, 1 ESMTP
    int autoConnect = 0;  // "AutoConnect"
    int input = 0;        // "Input": device index, -1 none
    int output = 0;       // "Output"
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
