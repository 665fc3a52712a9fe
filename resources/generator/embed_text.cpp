// Build-time tool: turns readable resource-text files into C++ line tables.
//
//   embed_text <output.cpp> <symbol> <input> [<symbol> <input> ...]
//
// For each input it defines `const char* const <symbol>Lines[]` and `const int <symbol>LineCount`.
// Entry 0 of every table is an empty line, then one entry per line of the file. The files are
// written in UTF-8; the program reads code page 932, so any non-ASCII line is converted here and
// a character that code page 932 lacks stops the build.

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The reader hands out at most this many bytes of a line; a longer one would be cut silently.
constexpr std::size_t kMaxLineLength = 8191;

bool isAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

bool toCp932(const std::string& utf8, std::string& out) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = utf8;
  std::string buffer(in.size() * 2 + 16, '\0');
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = buffer.data();
  std::size_t outLeft = buffer.size();
  const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return false;
  out.assign(buffer.data(), buffer.size() - outLeft);
  return true;
}

// A C string literal holding exactly the given bytes.
std::string literal(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '?': out += "\\?"; break;  // keeps "??x" from ever reading as a trigraph
      case '\t': out += "\\t"; break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          out += static_cast<char>(c);
        } else {
          // Always three octal digits, so a following digit cannot extend the escape.
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\%03o", c);
          out += esc;
        }
    }
  }
  return out + "\"";
}

bool readLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << path << ": cannot open\n";
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('\0') != std::string::npos) {
      std::cerr << path << ":" << number << ": NUL byte in the text\n";
      return false;
    }
    if (!isAscii(line)) {
      std::string converted;
      if (!toCp932(line, converted)) {
        std::cerr << path << ":" << number << ": not UTF-8, or a character code page 932 lacks\n";
        return false;
      }
      line = converted;
    }
    if (line.size() > kMaxLineLength) {
      std::cerr << path << ":" << number << ": line longer than " << kMaxLineLength << " bytes\n";
      return false;
    }
    lines.push_back(line);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || (argc - 2) % 2 != 0) {
    std::cerr << "usage: embed_text <output.cpp> <symbol> <input> [<symbol> <input> ...]\n";
    return 2;
  }
  std::ostringstream out;
  out << "// Generated at build time by embed_text from the resource-text files; do not edit.\n"
      << "#include \"resources/embedded_tables.h\"\n";
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string symbol = argv[i];
    const std::string path = argv[i + 1];
    std::vector<std::string> lines;
    if (!readLines(path, lines)) return 1;
    const std::size_t slash = path.find_last_of('/');
    out << "\n// " << (slash == std::string::npos ? path : path.substr(slash + 1)) << "\n"
        << "const char* const " << symbol << "Lines[] = {\n    \"\",\n";
    for (const std::string& line : lines) out << "    " << literal(line) << ",\n";
    out << "};\n"
        << "const int " << symbol << "LineCount = " << lines.size() + 1 << ";\n";
  }
  // Written only when complete, so a failed run leaves no half table for the build to pick up.
  const std::string target = argv[1];
  const std::string temporary = target + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << out.str();
    if (!file.flush()) {
      std::cerr << temporary << ": cannot write\n";
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::cerr << target << ": cannot replace\n";
    return 1;
  }
  return 0;
}
