#pragma once

// Starts the first address book found on this desktop; false when there is none.
bool OpenAddressBook();
