#pragma once

#include <QString>

class AudioInput;
class AudioOutput;
class Prompter;

// What the form is given from outside: where the program lives and the seams for
// the user's answers. The program passes the real services, tests their fakes.
struct FormServices
{
    QString programFolder;
    Prompter *prompter = nullptr;
    // Sound devices; none given means the form has no device to open.
    AudioInput *audioInput = nullptr;
    AudioOutput *audioOutput = nullptr;
};
