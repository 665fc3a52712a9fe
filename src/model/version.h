#pragma once

#include <QByteArray>
#include <QString>

class cmcGTex;

// The version and year texts the program shows (About, the top page, the print frame and
// --version). They come from the resource text and may be replaced by a version file beside the
// program, so a site can label its build without rebuilding.
struct VersionTexts {
  QByteArray version;  // "1.00"
  QByteArray year;     // "2022"
};

// Defaults from GI_Version_Default, each replaced by the matching line of the version file (named
// by GI_Version_File) in `directory` when that line is not blank.
VersionTexts readVersionTexts(cmcGTex& text, const QString& directory);

// The same, for the version file beside the running program.
VersionTexts programVersionTexts(cmcGTex& text);

// The version the build was made as (the project's version, also the package version).
QByteArray buildVersion();

// "<program> <version>", the line --version prints.
QString versionLine(const QString& program, const VersionTexts& texts);
