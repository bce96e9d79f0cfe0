// The core keeps texts as bytes in the locale's encoding (names, paths,
// messages); widgets show QStrings. These two convert between them.
#ifndef QEV_CONTROLS_LOCAL_TEXT_H
#define QEV_CONTROLS_LOCAL_TEXT_H

#include <QString>

#include <string>

namespace qev {

inline QString To_Q(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string From_Q(const QString& text) { return text.toLocal8Bit().toStdString(); }

}  // namespace qev

#endif
