#pragma once

#include "resources/product_build.h"

// Fixed texts that name the product and its maker.

namespace Product {

// The version string begins with a blank: "Orvanto " + Version gives "Orvanto  3.0".
inline constexpr char Name[] = "Orvanto";
inline constexpr char VersionNumber[] = ORVANTO_VERSION;
inline constexpr char Version[] = " " ORVANTO_VERSION;
inline constexpr char VersionedName[] = "Orvanto  " ORVANTO_VERSION;

// The desktop's name for the program: its desktop entry, icon and metadata.
inline constexpr char AppId[] = ORVANTO_APP_ID;

// The main window title; the single-instance lookup is keyed by it too.
inline constexpr char MainWindowTitle[] = "Orvanto - voice e-mail by the Orvanto team (www.orvanto.example)";

inline constexpr char WebHost[] = "www.orvanto.example";
inline constexpr char HelpUrl[] = "http://www.orvanto.example/orvanto.htm";
inline constexpr char UpdatesUrl[] = "http://www.orvanto.example/orvanto/index.html";
inline constexpr char SupportAddress[] = "support@orvanto.example";

}  // namespace Product
