#pragma once

class QWidget;

// Arranges the message form's controls, found by their ids, in the template's rows:
// the labels From, To, Cc, Subj, Msg Body and Files beside their controls (which take
// the labels as accessible names), the audio buttons after the From box, and the tab
// order of the template.
void LayOutMessageForm(QWidget *form);
