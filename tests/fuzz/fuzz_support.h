#pragma once

// Shared by the fuzz targets: a failed property aborts (libFuzzer keeps the input),
// fuzz input as texts, files and accounts, and the checks several targets make.

#include "settings/account.h"
#include "tests/support/test_files.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "property broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

namespace Fuzz {

inline QByteArray input(const uint8_t *d, size_t n) { return QByteArray(reinterpret_cast<const char *>(d), n); }

inline QByteArray bytes(FuzzedDataProvider &in, size_t maxLength = 512)
{
    return QByteArray::fromStdString(in.ConsumeRandomLengthString(maxLength));
}

// Arbitrary bytes read as UTF-8, as every text of ours comes from a file or a box.
inline QString text(FuzzedDataProvider &in, size_t maxLength = 512) { return QString::fromUtf8(bytes(in, maxLength)); }

// One folder for the whole run, emptied by its owner as it likes.
inline QDir &scratch()
{
    static QTemporaryDir dir;
    static QDir folder(dir.path());
    return folder;
}

// True when the text holds one of the characters.
inline bool holdsAnyOf(const QString &text, QLatin1String characters)
{
    return std::any_of(characters.begin(), characters.end(), [&text](char c) { return text.contains(QLatin1Char(c)); });
}

// True when `piece`, cut from `whole` to at most `limit` bytes on a character boundary of
// its UTF-8, is as long as it could be.
inline bool longestCut(const QByteArray &piece, const QByteArray &whole, int limit)
{
    if (!whole.startsWith(piece) || piece.size() > limit
        || (piece.size() < whole.size() && (uchar(whole.at(piece.size())) & 0xC0) == 0x80))
        return false;
    return whole.size() <= limit ? piece == whole : piece.size() + 4 > limit;
}

// The account's texts, which the stores keep as they are given (cut to their sizes).
inline QString Account::*const AccountTexts[] = {&Account::name,     &Account::incoming, &Account::outgoing,
                                                 &Account::user,     &Account::password, &Account::reply};

// An account of any texts, with numbers within their ranges.
inline Account anyAccount(FuzzedDataProvider &in)
{
    Account a;
    for (QString Account::*field : AccountTexts)
        a.*field = text(in, 300);
    a.protocol = in.ConsumeBool() ? MailProtocol::Esmtp : MailProtocol::Smtp;
    a.inputDevice = in.ConsumeIntegralInRange(-1, StoredNumber::MaxDevice);
    a.outputDevice = in.ConsumeIntegralInRange(-1, StoredNumber::MaxDevice);
    a.savePass = in.ConsumeBool();
    a.requirePass = in.ConsumeBool();
    return a;
}

// Every number of the account within its range.
inline bool inRange(const Account &a)
{
    const auto device = [](int n) { return n >= -1 && n <= StoredNumber::MaxDevice; };
    return (a.protocol == MailProtocol::Smtp || a.protocol == MailProtocol::Esmtp) && device(a.inputDevice)
           && device(a.outputDevice);
}

}  // namespace Fuzz
