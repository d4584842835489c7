#pragma once

#include "settings/account.h"

#include <QByteArray>

// One account of the profile lists, with its selection mark. The profile store
// reads and writes it as a fixed 1,542-byte record.
struct Profile : Account
{
    int selected = 0;  // 1 on the current profile
    // The record as it was read, if it was: written back byte for byte while the
    // account is unchanged, so bytes this version would store differently (text
    // of an older version's code page, values out of range) are not lost.
    QByteArray raw;

    Profile() = default;
    explicit Profile(const Account &account, int mark = 0) : Account(account), selected(mark) {}
};
