#pragma once

class QWidget;

// Makes the message form's controls, named by their ids, and arranges them in the
// template's rows: the labels From, To, Cc, Subj, Msg Body and Files beside their
// controls (which take the labels as accessible names), the audio buttons after the
// From box, the hidden Attach button and phone edit, and the template's tab order.
void BuildMessageForm(QWidget *form);
