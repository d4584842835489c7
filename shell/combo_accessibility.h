#pragma once

// Makes screen readers hear a combo box that has an accessible name by that name, and
// its text as its value. Qt's own interface names a combo box by the text it shows on
// Unix, so after typing or choosing the label was lost. Called once at start-up.
void NameComboBoxesByTheirLabels();
