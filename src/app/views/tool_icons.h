#pragma once

#include <QIcon>
#include <string_view>

namespace linesift {

// The tool bar's icons, drawn as vector shapes at the size and device pixel
// ratio each request asks for, so they stay crisp on every screen, and in
// the colours of the application's palette when they are drawn, so they
// follow the theme.
//
// name is the icon's freedesktop name: "document-new", "document-open",
// "document-save" or "go-bottom". A null icon for any other name.
QIcon ToolIcon(std::string_view name);

}  // namespace linesift
