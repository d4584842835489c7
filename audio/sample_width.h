#pragma once

#include <QString>

// Rewrite a raw recording in place between 16-bit signed little-endian samples and
// 8-bit unsigned samples, through a temporary file of the same path followed by "_".
// An 8-bit value u stands for the 16-bit value (u - 128) * 256; an odd last byte of a
// 16-bit file is dropped. Both return 1 on success; on any failure they return 0,
// remove the temporary file and leave the original untouched.
int NarrowTo8Bit(const QString &path);
int WidenTo16Bit(const QString &path);

// Writes the 8-bit form of a 16-bit recording to target in one pass, the recording
// left as it is; 1 on success, 0 on any failure (target may then hold a part).
int NarrowCopy(const QString &source, const QString &target);
