#pragma once

#include <QString>

// Deletes what an earlier run left in the outbox folder of programFolder: raw
// recordings and append pieces ("*.pcm*"), then temporary files ("*.tmp*").
// Voice files and their records stay.
void DeleteLeftovers(const QString &programFolder);
