#pragma once

#include <QString>

// The text shown for a mail error: the description itself, unless it contains
// "Unknown error"; then the entry of the socket-error table for the code, or
// "Unknown Error". Several entries end in one blank, which is part of the text.
QString MailErrorText(int code, const QString &description);

// The same for the account test, whose table has one more row: 20012 "Invalid password".
QString AccountTestErrorText(int code, const QString &description);
