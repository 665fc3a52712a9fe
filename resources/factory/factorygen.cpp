// Builds the sixteen factory images from factory.txt and writes them as a C++ source file.
// Usage: factorygen <factory.txt> <output.cpp>
// Any fault in the description stops the build with the line that caused it.
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "model/ChannelView.h"
#include "model/cmcEeprom.h"
#include "model/destinations.h"
#include "model/frequency.h"
#include "model/memorymap.h"

namespace {

using namespace memmap;

struct Failure {
  std::string text;
};

struct Destination {
  bool seen = false;
  std::string settings, banks, comment;
  std::optional<ChannelFields> channel0, call, tmpl;
};

struct Description {
  std::vector<ChannelFields> marine;
  std::map<std::string, std::vector<uint8_t>> settings;
  std::map<std::string, std::vector<std::string>> banks;
  Destination destinations[kDestinationCount];
};

// Splits a line into words; a double-quoted text (which may hold spaces) is one word and keeps
// its quotes. Everything after a '#' outside quotes is a comment.
std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '#') break;
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    size_t j = i;
    bool quoted = false;
    while (j < line.size() && (quoted || (line[j] != ' ' && line[j] != '\t' && line[j] != '#'))) {
      if (line[j] == '"') quoted = !quoted;
      ++j;
    }
    if (quoted) throw Failure{"unterminated quote"};
    out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string unquote(const std::string& word, size_t length) {
  if (word.size() < 2 || word.front() != '"' || word.back() != '"') {
    throw Failure{"expected a quoted text: " + word};
  }
  std::string text = word.substr(1, word.size() - 2);
  if (text.size() != length) {
    throw Failure{"text must have " + std::to_string(length) + " characters: " + word};
  }
  return text;
}

// "146.010000" -> 146010000 Hz, exactly.
uint32_t megahertz(const std::string& text) {
  const size_t dot = text.find('.');
  const std::string whole = text.substr(0, dot);
  std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  const auto digits = [](const std::string& s) {
    return s.find_first_not_of("0123456789") == std::string::npos;
  };
  if (whole.empty() || whole.size() > 4 || fraction.size() > 6 || !digits(whole) ||
      !digits(fraction)) {
    throw Failure{"bad frequency: " + text};
  }
  fraction.resize(6, '0');
  return uint32_t(std::stoul(whole) * 1000000u + std::stoul(fraction));
}

int pick(const std::string& key, const std::string& value,
         std::initializer_list<const char*> names) {
  int i = 0;
  for (const char* n : names) {
    if (value == n) return i;
    ++i;
  }
  throw Failure{"unknown " + key + ": " + value};
}

int toneIndex(const std::string& value) {
  const size_t dot = value.find('.');
  const int tenths = std::stoi(value.substr(0, dot)) * 10 +
                     (dot == std::string::npos ? 0 : std::stoi(value.substr(dot + 1, 1)));
  for (int i = 0; i < kToneCount; ++i) {
    if (kCtcssTonesTenthHz[size_t(i)] == tenths) return i;
  }
  throw Failure{"not a CTCSS tone: " + value};
}

ChannelFields defaultFields() {
  ChannelFields f;
  f.tone = toneIndex("88.5");
  f.toneSquelch = f.tone;
  f.bank = ChannelFields::kNoBank;
  return f;
}

void applyField(ChannelFields& f, const std::string& word) {
  if (word == "inhibit") {
    f.txInhibit = 1;
    return;
  }
  const size_t eq = word.find('=');
  if (eq == std::string::npos) throw Failure{"expected key=value: " + word};
  const std::string key = word.substr(0, eq), value = word.substr(eq + 1);
  if (key == "freq") {
    f.frequency = megahertz(value);
  } else if (key == "offset") {
    f.offset = megahertz(value);
  } else if (key == "duplex") {
    f.duplex = pick(key, value, {"OFF", "-DUP", "+DUP"});
  } else if (key == "step") {
    f.step = pick(key, value, {"5k", "6.25k", "10k", "12.5k", "15k", "20k", "25k", "30k", "50k"});
  } else if (key == "power") {
    f.power = pick(key, value, {"High", "Low", "Mid", "Mid-H"});
  } else if (key == "mode") {
    f.mode = pick(key, value, {"FM", "FM-N"});
  } else if (key == "tonemode") {
    f.toneMode = pick(key, value, {"OFF", "TONE", "TSQL", "DTCS(T)", "DTCS", "TSQL-R", "DTCS-R"});
  } else if (key == "tone") {
    f.tone = toneIndex(value);
  } else if (key == "tsql") {
    f.toneSquelch = toneIndex(value);
  } else if (key == "name") {
    const std::string name = unquote(value, 6);
    f.setName(name.data(), 6);
  } else {
    throw Failure{"unknown field: " + key};
  }
}

ChannelFields fieldsFrom(const std::vector<std::string>& w, size_t first, ChannelFields f) {
  for (size_t i = first; i < w.size(); ++i) applyField(f, w[i]);
  return f;
}

Description parse(std::istream& in) {
  Description d;
  std::string section, sectionName;
  int code = -1;
  ChannelFields marineDefaults = defaultFields();
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    try {
      const std::vector<std::string> w = words(line);
      if (w.empty()) continue;
      if (w[0].front() == '[') {
        std::string header = line.substr(line.find('[') + 1);
        header = header.substr(0, header.find(']'));
        std::istringstream hs(header);
        hs >> section >> sectionName;
        if (section == "destination") {
          code = std::stoi(sectionName);
          std::string name;
          hs >> name;
          if (code < 0 || code >= kDestinationCount || name != destinationName(code)) {
            throw Failure{"unknown destination: " + header};
          }
          if (d.destinations[code].seen) throw Failure{"destination given twice: " + header};
          d.destinations[code].seen = true;
        } else if (section == "settings") {
          d.settings[sectionName];
        } else if (section == "banks") {
          d.banks[sectionName];
        } else if (section != "marine") {
          throw Failure{"unknown section: " + header};
        }
        continue;
      }
      if (section == "marine") {
        if (w[0] == "defaults") {
          marineDefaults = fieldsFrom(w, 1, defaultFields());
        } else {
          ChannelFields f = fieldsFrom(w, 1, marineDefaults);
          const std::string name = unquote(w[0], 6);
          f.setName(name.data(), 6);
          d.marine.push_back(f);
        }
      } else if (section == "settings") {
        for (const std::string& byte : w) {
          if (byte.size() != 2) throw Failure{"expected a hexadecimal byte: " + byte};
          d.settings[sectionName].push_back(uint8_t(std::stoul(byte, nullptr, 16)));
        }
      } else if (section == "banks") {
        d.banks[sectionName].push_back(unquote(w[0], kBankNameLength));
      } else if (section == "destination") {
        Destination& dest = d.destinations[code];
        if (w.size() < 2) throw Failure{"missing value"};
        if (w[0] == "settings") {
          dest.settings = w[1];
        } else if (w[0] == "banks") {
          dest.banks = w[1];
        } else if (w[0] == "comment") {
          dest.comment = unquote(w[1], kCloneCommentLength);
        } else if (w[0] == "channel0") {
          dest.channel0 = fieldsFrom(w, 1, defaultFields());
        } else if (w[0] == "call") {
          dest.call = fieldsFrom(w, 1, defaultFields());
        } else if (w[0] == "template") {
          dest.tmpl = fieldsFrom(w, 1, defaultFields());
        } else {
          throw Failure{"unknown entry: " + w[0]};
        }
      } else {
        throw Failure{"text outside a section"};
      }
    } catch (const Failure& f) {
      throw Failure{"line " + std::to_string(number) + ": " + f.text};
    } catch (const std::exception& e) {
      throw Failure{"line " + std::to_string(number) + ": bad number (" + e.what() + ")"};
    }
  }
  if (d.marine.size() > 100) throw Failure{"more than 100 marine channels"};
  for (auto& [name, bytes] : d.settings) {
    if (bytes.size() != kSettingsBlockSize) throw Failure{"settings " + name + ": not 64 bytes"};
  }
  for (auto& [name, list] : d.banks) {
    if (list.size() != kBankCount) throw Failure{"banks " + name + ": not 10 names"};
  }
  for (int c = 0; c < kDestinationCount; ++c) {
    const Destination& dest = d.destinations[c];
    const std::string which = std::string("destination ") + destinationName(c);
    if (!dest.seen) throw Failure{which + " is missing"};
    if (!dest.channel0 || !dest.call || !dest.tmpl || dest.comment.empty()) {
      throw Failure{which + ": channel0, call, template and comment are all needed"};
    }
    if (!d.settings.count(dest.settings)) throw Failure{which + ": unknown settings block"};
    if (!d.banks.count(dest.banks)) throw Failure{which + ": unknown bank names"};
  }
  return d;
}

cmcEeprom buildImage(const Description& d, int code) {
  const Destination& dest = d.destinations[code];
  cmcEeprom img(kImageSize);
  DestinationOptions options;  // every power level may be written
  options.destination = code;
  options.highPower = true;

  ChannelFields tmpl = *dest.tmpl;
  tmpl.inUse = true;
  ChannelView::encodeStateRecord(img, kTemplate, tmpl, options);

  ChannelView view(img, options);
  const auto put = [&view](int index, ChannelFields f) {
    view.load(kKindConventional, index);
    view.setFields(f);
    view.store();
  };
  ChannelFields blank = tmpl;
  blank.inUse = false;
  for (int i = 0; i <= 306; ++i) put(i, blank);
  for (int i : {0, 206}) {
    ChannelFields f = i == 0 ? *dest.channel0 : *dest.call;
    f.inUse = true;
    f.bank = ChannelFields::kNoBank;
    put(i, f);
  }
  for (size_t m = 0; m < d.marine.size(); ++m) put(207 + int(m), d.marine[m]);

  for (int stateBlock : kStateBlocks) {
    ChannelView::encodeStateRecord(img, stateBlock, tmpl, options);
    img.setByte(stateBlock + state::kDisplayMode, kDisplayVFO);
  }
  const std::vector<uint8_t>& settings = d.settings.at(dest.settings);
  for (int block : kSettingsBlocks) img.writeBlock(block, settings.data(), kSettingsBlockSize);
  const std::vector<std::string>& banks = d.banks.at(dest.banks);
  for (int b = 0; b < kBankCount; ++b) {
    img.writeBlock(kBankNames + kBankNameStride * b,
                   reinterpret_cast<const uint8_t*>(banks[size_t(b)].data()), kBankNameLength);
  }
  img.writeBlock(kCloneComment, reinterpret_cast<const uint8_t*>(dest.comment.data()),
                 kCloneCommentLength);
  img.setByte(kFormatByte, kFormatValid);
  img.writeBlock(kModelCode, reinterpret_cast<const uint8_t*>(kModelCodeText), kModelCodeLength);
  if (!validateImage(img, true)) throw Failure{"built an invalid image"};
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: factorygen <factory.txt> <output.cpp>\n");
    return 2;
  }
  try {
    std::ifstream in(argv[1]);
    if (!in) throw Failure{std::string("cannot read ") + argv[1]};
    const Description d = parse(in);
    std::ostringstream out;
    out << "// Generated by factorygen from resources/factory/factory.txt. Do not edit.\n"
        << "#include \"resources/factory/factory_images.h\"\n\nnamespace {\n";
    for (int c = 0; c < kDestinationCount; ++c) {
      const cmcEeprom img = buildImage(d, c);
      out << "\n// " << destinationName(c) << "\nconst uint8_t kImage" << c << "[" << kCloneSize
          << "] = {";
      for (int a = 0; a < kCloneSize; ++a) {
        if (a % 32 == 0) out << "\n";
        out << int(img.getByte(a)) << ",";
      }
      out << "\n};\n";
    }
    out << "\nconst uint8_t* const kImages[" << kDestinationCount << "] = {";
    for (int c = 0; c < kDestinationCount; ++c) out << "kImage" << c << ", ";
    out << "};\n\n}  // namespace\n\n"
        << "const uint8_t* factoryImage(int code) {\n"
        << "  return code >= 0 && code < " << kDestinationCount
        << " ? kImages[code] : nullptr;\n}\n";
    std::ofstream file(argv[2], std::ios::trunc);
    file << out.str();
    if (!file.flush()) throw Failure{std::string("cannot write ") + argv[2]};
  } catch (const Failure& f) {
    std::fprintf(stderr, "%s: %s\n", argv[1], f.text.c_str());
    return 1;
  }
  return 0;
}
