#pragma once

#include <QString>

// Deletes what an earlier run left behind: in the outbox folder of programFolder,
// raw recordings and append pieces ("*.pcm*"), then temporary files ("*.tmp*");
// beside profiles.bin, history.txt and the settings file, the temporaries of writes
// a crash interrupted. Voice files and their records stay. A link named like a
// leftover is removed as a link; what it points to is left alone.
void DeleteLeftovers(const QString &programFolder);
