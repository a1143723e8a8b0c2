#include "platform/qt/qt_fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>
#include <cmath>
#include <map>

namespace oq::qt {

namespace {

constexpr double kPixelsPerPoint = 96.0 / 72.0;
const char* const kWineFontFolder = "/usr/share/wine/fonts/";

bool Installed(const QString& family) { return QFontDatabase::hasFamily(family); }

// Loads the regular Tahoma from fonts-wine's folder, which the font configuration does not search.
// Its bold file (tahomabd.ttf) is left out on purpose: at the dialog's 11 pixels it draws with
// the same ink as the regular face, so bold captions would not read as bold. Without it, Qt
// emboldens the regular face for a bold font, which does.
bool LoadWineTahoma() {
  const QString path = QString::fromLatin1(kWineFontFolder) + QStringLiteral("tahoma.ttf");
  return QFile::exists(path) && QFontDatabase::addApplicationFont(path) >= 0 &&
         Installed(QStringLiteral("Tahoma"));
}

QString FirstInstalled(const QStringList& families, QFontDatabase::SystemFont fallback) {
  for (const QString& family : families) {
    if (Installed(family)) return family;
  }
  return QFontDatabase::systemFont(fallback).family();
}

QString Resolve(const QString& family) {
  if (family.compare(QStringLiteral("Tahoma"), Qt::CaseInsensitive) == 0) {
    if (Installed(family) || LoadWineTahoma()) return QStringLiteral("Tahoma");
    return FirstInstalled({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")},
                          QFontDatabase::GeneralFont);
  }
  if (family.compare(QStringLiteral("Courier New"), Qt::CaseInsensitive) == 0) {
    return FirstInstalled({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                           QStringLiteral("DejaVu Sans Mono")},
                          QFontDatabase::FixedFont);
  }
  return FirstInstalled({family}, QFontDatabase::GeneralFont);
}

}  // namespace

QString ResolvedFamily(const std::string& family) {
  static std::map<std::string, QString> resolved;
  auto found = resolved.find(family);
  if (found == resolved.end()) {
    found = resolved.emplace(family, Resolve(QString::fromStdString(family))).first;
  }
  return found->second;
}

QFont FontFor(const FontSpec& wanted) {
  QFont font(ResolvedFamily(wanted.family));
  font.setPixelSize(static_cast<int>(std::lround(wanted.points * kPixelsPerPoint)));
  font.setBold(wanted.bold);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

}  // namespace oq::qt
