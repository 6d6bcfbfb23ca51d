// tavrinel_lv2_ttl: writes the LV2 bundle's description, manifest.ttl and
// Tavrinel.ttl, from the parameter table of a freshly built plug-in, so that
// port names, ranges, defaults and enumeration labels are the VST side's own.
//
//   tavrinel_lv2_ttl FOLDER VERSION
//
// VERSION is the project version (MAJOR.MINOR.PATCH); its minor and patch
// numbers become lv2:minorVersion and lv2:microVersion. The output depends on
// nothing but the plug-in and VERSION, byte for byte. Exit code 0 on success,
// 1 when the table cannot be described or a file cannot be written, 2 for a
// wrong command line.
#include "Tavrinel.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

namespace {

const char* const kPluginUri = "urn:quellbrook:tavrinel";
const char* const kUiUri = "urn:quellbrook:tavrinel#ui";
const char* const kBinary = "Tavrinel.so";

// A Turtle string literal (in double quotes). Valid UTF-8 passes through; any
// other byte above 0x7F is read as Latin-1, control characters are escaped.
std::string Quoted(const char* text)
{
  std::string out = "\"";
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  while (*s) {
    const unsigned char c = *s;
    int extra = 0;
    if (c >= 0xC2 && c <= 0xDF) extra = 1;
    else if (c >= 0xE0 && c <= 0xEF) extra = 2;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3;
    bool validSequence = c >= 0x80 && extra > 0;
    for (int k = 1; validSequence && k <= extra; ++k) validSequence = (s[k] & 0xC0) == 0x80;
    if (validSequence) {
      // Overlong three- and four-byte forms, surrogates and code points past U+10FFFF are not UTF-8.
      if ((c == 0xE0 && s[1] < 0xA0) || (c == 0xED && s[1] >= 0xA0) || (c == 0xF0 && s[1] < 0x90) ||
          (c == 0xF4 && s[1] >= 0x90))
        validSequence = false;
    }
    if (validSequence) {
      out.append(reinterpret_cast<const char*>(s), static_cast<std::size_t>(extra + 1));
      s += extra + 1;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
    ++s;
  }
  out += '"';
  return out;
}

// A number as a Turtle literal: an integer when the value is whole, otherwise
// the shortest decimal that reads back as the same double (independent of the
// C locale). Integers are xsd:integer, the rest xsd:decimal or xsd:double.
std::string Number(double v)
{
  if (v == 0.0) return "0"; // also -0
  char buf[64];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, r.ptr);
  if (s.find_first_of(".e") == std::string::npos) return s; // whole: an integer literal
  if (s.find('e') != std::string::npos && s.find('.') == std::string::npos) {
    s.insert(s.find('e'), ".0"); // 1e-07 -> 1.0e-07
  }
  return s;
}

// Port symbol: the name with every character outside [A-Za-z0-9_] as '_', and
// a leading '_' if it starts with a digit.
std::string Symbol(const char* name)
{
  std::string s;
  for (const char* p = name; *p; ++p) {
    const char c = *p;
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    s += ok ? c : '_';
  }
  if (!s.empty() && s[0] >= '0' && s[0] <= '9') s.insert(s.begin(), '_');
  return s;
}

const char* const kPrefixes =
  "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
  "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
  "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
  "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
  "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
  "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
  "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
  "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
  "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
  "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
  "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
  "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n";

// One control input port per announced parameter that has a name; false (and
// a message) when the table breaks what the ports rely on.
bool DescribeControlPorts(const Tavrinel& plug, std::string& out, int& nPorts)
{
  std::set<std::string> symbols = {"events_in", "midi_out"};
  nPorts = 0;
  for (int i = 0; i < plug.NParamsToSerialize() && i < plug.NParams(); ++i) {
    const IPlugParam& p = *plug.GetParam(i);
    if (!p.GetName()[0]) continue;
    if (i != nPorts) {
      // Port index == parameter index: the named parameters must come first.
      std::fprintf(stderr, "tavrinel_lv2_ttl: parameter %d '%s' follows an unnamed one\n", i, p.GetName());
      return false;
    }
    const std::string symbol = Symbol(p.GetName());
    if (!symbols.insert(symbol).second) {
      std::fprintf(stderr, "tavrinel_lv2_ttl: parameter %d '%s' repeats the port symbol '%s'\n", i, p.GetName(),
                   symbol.c_str());
      return false;
    }
    if (p.Type() == IPlugParam::kTypeNone || !std::isfinite(p.Value()) || !std::isfinite(p.GetMin()) ||
        !std::isfinite(p.GetMax())) {
      std::fprintf(stderr, "tavrinel_lv2_ttl: parameter %d '%s' has no type or no finite range\n", i, p.GetName());
      return false;
    }
    out += nPorts ? " , [\n" : " [\n";
    out += "\t\ta lv2:InputPort , lv2:ControlPort ;\n";
    out += "\t\tlv2:index " + std::to_string(i) + " ;\n";
    out += "\t\tlv2:symbol " + Quoted(symbol.c_str()) + " ;\n";
    out += "\t\tlv2:name " + Quoted(p.GetName()) + " ;\n";
    out += "\t\tlv2:default " + Number(p.Value()) + " ;\n";
    out += "\t\tlv2:minimum " + Number(p.GetMin()) + " ;\n";
    out += "\t\tlv2:maximum " + Number(p.GetMax());
    switch (p.Type()) {
      case IPlugParam::kTypeBool: out += " ;\n\t\tlv2:portProperty lv2:toggled"; break;
      case IPlugParam::kTypeInt: out += " ;\n\t\tlv2:portProperty lv2:integer"; break;
      case IPlugParam::kTypeEnum: out += " ;\n\t\tlv2:portProperty lv2:integer , lv2:enumeration"; break;
      default: break;
    }
    const bool integral = p.Type() == IPlugParam::kTypeInt || p.Type() == IPlugParam::kTypeEnum;
    for (int k = 0; integral && k < p.NDisplayTexts(); ++k) {
      int value = 0;
      const char* text = p.GetDisplayTextAtIdx(k, &value);
      out += k ? " , [\n" : " ;\n\t\tlv2:scalePoint [\n";
      out += "\t\t\trdfs:label " + Quoted(text) + " ;\n";
      out += "\t\t\trdf:value " + std::to_string(value) + "\n\t\t]";
    }
    out += "\n\t]";
    ++nPorts;
  }
  if (nPorts == 0) {
    std::fprintf(stderr, "tavrinel_lv2_ttl: the plug-in announces no named parameter\n");
    return false;
  }
  return true;
}

std::string Manifest()
{
  std::string out = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n\n";
  out += std::string("<") + kPluginUri + ">\n\ta lv2:Plugin ;\n\tlv2:binary <" + kBinary +
         "> ;\n\trdfs:seeAlso <Tavrinel.ttl> .\n\n";
  out += std::string("<") + kUiUri + ">\n\ta ui:X11UI ;\n\tui:binary <" + kBinary +
         "> ;\n\trdfs:seeAlso <Tavrinel.ttl> .\n";
  return out;
}

std::string Description(const std::string& controlPorts, int nControlPorts, unsigned minor, unsigned micro)
{
  std::string out = kPrefixes;
  out += std::string("\n<") + kPluginUri + ">\n";
  out += "\ta lv2:Plugin , lv2:MIDIPlugin ;\n";
  out += "\tdoap:name \"Tavrinel\" ;\n";
  out += std::string("\tlv2:binary <") + kBinary + "> ;\n";
  out += "\tlv2:minorVersion " + std::to_string(minor) + " ;\n";
  out += "\tlv2:microVersion " + std::to_string(micro) + " ;\n";
  out += "\tlv2:requiredFeature urid:map ;\n";
  out += "\tlv2:optionalFeature opts:options ;\n";
  out += "\tlv2:extensionData state:interface ;\n";
  out += std::string("\tui:ui <") + kUiUri + "> ;\n";
  out += "\tlv2:port" + controlPorts + " , [\n";
  out += "\t\ta lv2:InputPort , atom:AtomPort ;\n";
  out += "\t\tatom:bufferType atom:Sequence ;\n";
  out += "\t\tatom:supports midi:MidiEvent , time:Position ;\n";
  out += "\t\tlv2:designation lv2:control ;\n";
  out += "\t\tlv2:index " + std::to_string(nControlPorts) + " ;\n";
  out += "\t\tlv2:symbol \"events_in\" ;\n";
  out += "\t\tlv2:name \"Events in\"\n";
  out += "\t] , [\n";
  out += "\t\ta lv2:OutputPort , atom:AtomPort ;\n";
  out += "\t\tatom:bufferType atom:Sequence ;\n";
  out += "\t\tatom:supports midi:MidiEvent , state:StateChanged ;\n";
  out += "\t\trsz:minimumSize 65536 ;\n";
  out += "\t\tlv2:index " + std::to_string(nControlPorts + 1) + " ;\n";
  out += "\t\tlv2:symbol \"midi_out\" ;\n";
  out += "\t\tlv2:name \"MIDI out\"\n";
  out += "\t] .\n\n";
  out += std::string("<") + kUiUri + ">\n";
  out += "\ta ui:X11UI ;\n";
  out += std::string("\tui:binary <") + kBinary + "> ;\n";
  out += "\tlv2:requiredFeature ui:idleInterface ;\n";
  out += "\tlv2:optionalFeature ui:parent , ui:resize , opts:options , <http://lv2plug.in/ns/ext/instance-access> ;\n";
  out += "\topts:supportedOption ui:scaleFactor ;\n";
  out += "\tlv2:extensionData ui:idleInterface .\n";
  return out;
}

// MAJOR.MINOR.PATCH (PATCH may be missing: 0).
bool ParseVersion(const char* text, unsigned& minor, unsigned& micro)
{
  unsigned major = 0;
  minor = micro = 0;
  char tail = 0;
  const int n = std::sscanf(text, "%u.%u.%u%c", &major, &minor, &micro, &tail);
  return n == 2 || n == 3;
}

bool WriteFile(const std::string& path, const std::string& text)
{
  std::FILE* pFile = std::fopen(path.c_str(), "wb");
  if (!pFile) {
    std::fprintf(stderr, "tavrinel_lv2_ttl: cannot create '%s'\n", path.c_str());
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), pFile) == text.size();
  if (std::fclose(pFile) != 0 || !written) {
    std::fprintf(stderr, "tavrinel_lv2_ttl: cannot write '%s'\n", path.c_str());
    return false;
  }
  return true;
}

} // namespace

int main(int argc, char** argv)
{
  unsigned minor = 0, micro = 0;
  if (argc != 3 || !argv[1][0] || argv[1][0] == '-' || !ParseVersion(argv[2], minor, micro)) {
    std::fprintf(stderr, "usage: tavrinel_lv2_ttl FOLDER MAJOR.MINOR.PATCH\n");
    return 2;
  }
  const std::string folder = argv[1];

  // Built and opened the way a host does: the defaults are what a new instance holds.
  std::unique_ptr<Tavrinel> pPlug(new Tavrinel);
  pPlug->RunAllParamHooks();

  std::string controlPorts;
  int nControlPorts = 0;
  if (!DescribeControlPorts(*pPlug, controlPorts, nControlPorts)) return 1;

  if (!WriteFile(folder + "/manifest.ttl", Manifest())) return 1;
  if (!WriteFile(folder + "/Tavrinel.ttl", Description(controlPorts, nControlPorts, minor, micro))) return 1;
  return 0;
}
