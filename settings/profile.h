#pragma once

#include "settings/account.h"

// One account of the profile lists, with its selection mark. The profile store
// reads and writes it as a fixed 1,542-byte record.
struct Profile : Account
{
    int selected = 0;  // 1 on the current profile

    Profile() = default;
    explicit Profile(const Account &account, int mark = 0) : Account(account), selected(mark) {}
};
