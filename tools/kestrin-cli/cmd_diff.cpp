#include "cmd_diff.h"

#include <QCoreApplication>
#include <cstdio>

#include "cliargs.h"
#include "model/DestinationOptions.h"
#include "model/destinations.h"
#include "session.h"
#include "sheet/core/DocumentCompare.h"

namespace {

constexpr int kExitDifferent = 1;

// Every error of the command, a wrong command line or a document that does not load, exits 2.
Status fail(const QString& why) { return Status::usage(why); }

// What a side is called in messages: its file, or its destination.
QString sideName(const CliOptions& side) {
  return side.file.isEmpty() ? QString("destination %1").arg(side.destination) : side.file;
}

QString pageName(const QByteArray& callString) {
  const QString alias = Session::aliasOf(callString);
  return alias.isEmpty() ? QString::fromUtf8(callString) : alias;
}

}  // namespace

void printFieldDifferences(const std::vector<FieldDifference>& differences, bool tsv) {
  std::vector<QStringList> lines;
  for (const FieldDifference& d : differences) {
    QStringList fields{pageName(d.callString), d.rowLabel, d.columnHeader, d.textA, d.textB};
    if (!tsv) {
      if (fields[2].isEmpty()) fields[2] = "-";
      for (int i : {3, 4}) {
        const bool present = i == 3 ? d.inA : d.inB;
        if (!present)
          fields[i] = "(absent)";
        else if (fields[i].isEmpty())
          fields[i] = "(empty)";
      }
    }
    lines.push_back(fields);
  }
  if (tsv) {
    for (const QStringList& fields : lines)
      std::printf("%s\n", fields.join('\t').toUtf8().constData());
    return;
  }
  std::vector<qsizetype> widths(5, 0);
  for (const QStringList& fields : lines) {
    for (int i = 0; i < 5; ++i) widths[size_t(i)] = std::max(widths[size_t(i)], fields[i].size());
  }
  for (const QStringList& fields : lines) {
    QString text;
    for (int i = 0; i < 5; ++i) {
      if (i) text += "  ";
      text += i < 4 ? fields[i].leftJustified(widths[size_t(i)]) : fields[i];
    }
    std::printf("%s\n", text.toUtf8().constData());
  }
}

QString cliDiffUsage() {
  return QStringLiteral(
      "Comparing two documents:\n"
      "  kestrin-cli diff A B [--options LIST] [--tsv]\n"
      "    A and B are each a .qev file or \"--destination CODE\" (a factory image). Prints\n"
      "    every field that differs as: sheet, row, column, value in A, value in B.\n"
      "    Exit status: 0 when equal, 1 when different, 2 on an error.\n");
}

Status cliDiff(const QStringList& args) {
  CliOptions sides[2];
  int count = 0;
  uint8_t bits = 0x0F;
  bool tsv = false;
  ArgReader r(args);
  while (r.next()) {
    const QString& a = r.current();
    if (r.is("--tsv")) {
      tsv = true;
    } else if (r.is("--options")) {
      const std::optional<QString> v = r.value();
      if (!v || !parseOptions(*v, bits))
        return fail("--options takes marine, fm-narrow, rx-expansion, high-power, all or none");
    } else if (r.is("--destination")) {
      const std::optional<QString> v = r.value();
      int code = -1;
      if (!v || (code = parseDestination(*v)) < 0)
        return fail("--destination needs a code 0..15 or a destination name");
      if (count == 2) return fail("diff compares two documents");
      sides[count++].destination = code;
    } else if (a.startsWith('-')) {
      return fail(QString("unknown option %1").arg(a));
    } else {
      if (count == 2) return fail("diff compares two documents");
      sides[count++].file = a;
    }
  }
  if (count != 2) return fail("diff needs two documents: FILE.qev or --destination CODE, twice");

  std::unique_ptr<Session> sessions[2];
  for (int s = 0; s < 2; ++s) {
    sides[s].command = "diff";
    sides[s].optionBits = bits;
    sessions[s] = std::make_unique<Session>(sides[s]);
    const Status loaded = sessions[s]->load();
    if (!loaded.ok()) return fail(loaded.reason);
  }
  Session& a = *sessions[0];
  Session& b = *sessions[1];
  const std::vector<FieldDifference> differences =
      compareDocuments({&a.catalogue(), &a.environment()}, {&b.catalogue(), &b.environment()},
                       treePages(a.text(), a.parser()), a.text(), a.parser());
  printFieldDifferences(differences, tsv);
  if (!tsv) {
    std::fprintf(stderr, "%zu field%s differ%s between %s and %s\n", differences.size(),
                 differences.size() == 1 ? "" : "s", differences.size() == 1 ? "s" : "",
                 sideName(sides[0]).toUtf8().constData(), sideName(sides[1]).toUtf8().constData());
  }
  if (differences.empty()) return {};
  return {kExitDifferent, {}};
}
