// What the main window's widget files share.
#pragma once

#include <QString>
#include <QStyle>

#include <memory>
#include <string>

namespace tarvex::qt {

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

/// Lists with a narrower arrow, so that items fill the small lists as they were laid out.
std::unique_ptr<QStyle> MakeCompactListStyle();

} // namespace tarvex::qt
