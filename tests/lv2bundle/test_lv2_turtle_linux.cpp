// The LV2 bundle's Turtle, read back the way hosts read it (lilv), agrees with
// the parameter table of a freshly built plug-in, and the generator writes the
// same bytes on every run.
#include "Tavrinel.h"

#include <gtest/gtest.h>

#ifdef TAV_LV2_BUNDLE_DIR
#include <lilv/lilv.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

struct World {
  LilvWorld* w = lilv_world_new();
  std::vector<LilvNode*> nodes;
  ~World()
  {
    for (LilvNode* n : nodes) lilv_node_free(n);
    lilv_world_free(w);
  }
  const LilvNode* Uri(const std::string& uri) { return nodes.emplace_back(lilv_new_uri(w, uri.c_str())); }
};

const std::string kLv2 = "http://lv2plug.in/ns/lv2core#";

std::string ReadFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Lv2Turtle, PortsAreTheHostParametersAsThePluginDefinesThem)
{
  World world;
  LilvNode* bundle = lilv_new_file_uri(world.w, nullptr, TAV_LV2_BUNDLE_DIR "/");
  world.nodes.push_back(bundle);
  lilv_world_load_bundle(world.w, bundle);
  const LilvPlugin* lp =
    lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world.w), world.Uri("urn:quellbrook:tavrinel"));
  ASSERT_NE(lp, nullptr);
  EXPECT_TRUE(lilv_plugin_verify(lp));

  std::unique_ptr<Tavrinel> pPlug(new Tavrinel);
  pPlug->RunAllParamHooks();  // as a host's open does

  int nNamed = 0;
  while (nNamed < pPlug->NParamsToSerialize() && pPlug->GetParam(nNamed)->GetName()[0]) ++nNamed;
  for (int i = nNamed; i < pPlug->NParamsToSerialize(); ++i) EXPECT_STREQ(pPlug->GetParam(i)->GetName(), "") << i;
  ASSERT_EQ(lilv_plugin_get_num_ports(lp), static_cast<uint32_t>(nNamed + 2));

  std::set<std::string> symbols;
  for (int i = 0; i < nNamed; ++i) {
    const IPlugParam& p = *pPlug->GetParam(i);
    SCOPED_TRACE(p.GetName());
    const LilvPort* port = lilv_plugin_get_port_by_index(lp, static_cast<uint32_t>(i));
    EXPECT_TRUE(lilv_port_is_a(lp, port, world.Uri(kLv2 + "InputPort")));
    EXPECT_TRUE(lilv_port_is_a(lp, port, world.Uri(kLv2 + "ControlPort")));
    LilvNode* name = lilv_port_get_name(lp, port);
    EXPECT_STREQ(lilv_node_as_string(name), p.GetName());
    lilv_node_free(name);
    // A symbol is a C identifier, unique, and the name itself where the name is one.
    const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(lp, port));
    bool identifier = !symbol.empty() && !std::isdigit(static_cast<unsigned char>(symbol[0]));
    for (char c : symbol) identifier = identifier && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    EXPECT_TRUE(identifier) << symbol;
    EXPECT_TRUE(symbols.insert(symbol).second) << symbol;
    if (symbol.size() == std::strlen(p.GetName())) {
      EXPECT_EQ(symbol, p.GetName());
    }

    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(lp, port, &def, &min, &max);
    ASSERT_TRUE(def && min && max);
    EXPECT_EQ(lilv_node_as_float(def), static_cast<float>(p.Value()));
    EXPECT_EQ(lilv_node_as_float(min), static_cast<float>(p.GetMin()));
    EXPECT_EQ(lilv_node_as_float(max), static_cast<float>(p.GetMax()));
    lilv_node_free(def);
    lilv_node_free(min);
    lilv_node_free(max);

    const IPlugParam::EParamType t = p.Type();
    const bool integral = t == IPlugParam::kTypeInt || t == IPlugParam::kTypeEnum;
    EXPECT_EQ(lilv_port_has_property(lp, port, world.Uri(kLv2 + "toggled")), t == IPlugParam::kTypeBool);
    EXPECT_EQ(lilv_port_has_property(lp, port, world.Uri(kLv2 + "integer")), integral);
    EXPECT_EQ(lilv_port_has_property(lp, port, world.Uri(kLv2 + "enumeration")), t == IPlugParam::kTypeEnum);

    // Scale points: the display texts of integral kinds, value for value, within the range.
    std::map<int, std::string> expected, found;
    for (int k = 0; integral && k < p.NDisplayTexts(); ++k) {
      int value = 0;
      const char* text = p.GetDisplayTextAtIdx(k, &value);
      expected.emplace(value, text);
    }
    LilvScalePoints* points = lilv_port_get_scale_points(lp, port);
    LILV_FOREACH (scale_points, it, points) {
      const LilvScalePoint* sp = lilv_scale_points_get(points, it);
      const float value = lilv_node_as_float(lilv_scale_point_get_value(sp));
      EXPECT_TRUE(value >= p.GetMin() && value <= p.GetMax()) << value;
      EXPECT_TRUE(found.emplace(static_cast<int>(value), lilv_node_as_string(lilv_scale_point_get_label(sp))).second);
    }
    lilv_scale_points_free(points);
    EXPECT_EQ(found, expected);
  }

  // The event ports: transport and MIDI in (the control port a host sends time to), MIDI out.
  const LilvPort* in = lilv_plugin_get_port_by_index(lp, static_cast<uint32_t>(nNamed));
  const LilvPort* out = lilv_plugin_get_port_by_index(lp, static_cast<uint32_t>(nNamed + 1));
  const LilvNode* atomPort = world.Uri("http://lv2plug.in/ns/ext/atom#AtomPort");
  const LilvNode* midiEvent = world.Uri("http://lv2plug.in/ns/ext/midi#MidiEvent");
  EXPECT_TRUE(lilv_port_is_a(lp, in, atomPort) && lilv_port_is_a(lp, in, world.Uri(kLv2 + "InputPort")));
  EXPECT_TRUE(lilv_port_supports_event(lp, in, midiEvent));
  EXPECT_TRUE(lilv_port_supports_event(lp, in, world.Uri("http://lv2plug.in/ns/ext/time#Position")));
  EXPECT_EQ(lilv_plugin_get_port_by_designation(lp, world.Uri(kLv2 + "InputPort"), world.Uri(kLv2 + "control")), in);
  EXPECT_TRUE(lilv_port_is_a(lp, out, atomPort) && lilv_port_is_a(lp, out, world.Uri(kLv2 + "OutputPort")));
  EXPECT_TRUE(lilv_port_supports_event(lp, out, midiEvent));
  LilvNodes* size = lilv_port_get_value(lp, out, world.Uri("http://lv2plug.in/ns/ext/resize-port#minimumSize"));
  EXPECT_EQ(lilv_node_as_int(lilv_nodes_get_first(size)), 65536);
  lilv_nodes_free(size);
  EXPECT_EQ(std::string(lilv_node_as_string(lilv_port_get_symbol(lp, in))), "events_in");
  EXPECT_EQ(std::string(lilv_node_as_string(lilv_port_get_symbol(lp, out))), "midi_out");

  // Only the URID map is required; the state lives behind the state interface.
  LilvNodes* required = lilv_plugin_get_required_features(lp);
  EXPECT_EQ(lilv_nodes_size(required), 1u);
  EXPECT_TRUE(lilv_nodes_contains(required, world.Uri("http://lv2plug.in/ns/ext/urid#map")));
  lilv_nodes_free(required);
  EXPECT_TRUE(lilv_plugin_has_extension_data(lp, world.Uri("http://lv2plug.in/ns/ext/state#interface")));

  // The editor: one X11 UI in the plug-in's own binary.
  LilvUIs* uis = lilv_plugin_get_uis(lp);
  ASSERT_EQ(lilv_uis_size(uis), 1u);
  const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
  EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), "urn:quellbrook:tavrinel#ui");
  EXPECT_TRUE(lilv_ui_is_a(ui, world.Uri("http://lv2plug.in/ns/extensions/ui#X11UI")));
  EXPECT_TRUE(lilv_node_equals(lilv_ui_get_binary_uri(ui), lilv_plugin_get_library_uri(lp)));
  lilv_uis_free(uis);

  // The version is the project's.
  unsigned major = 0, minor = 0, micro = 0;
  ASSERT_EQ(std::sscanf(TAV_PROJECT_VERSION, "%u.%u.%u", &major, &minor, &micro), 3);
  for (const auto& [property, number] : {std::pair{"minorVersion", minor}, std::pair{"microVersion", micro}}) {
    LilvNodes* v = lilv_plugin_get_value(lp, world.Uri(kLv2 + property));
    EXPECT_EQ(lilv_nodes_size(v), 1u) << property;
    EXPECT_EQ(lilv_node_as_int(lilv_nodes_get_first(v)), static_cast<int>(number)) << property;
    lilv_nodes_free(v);
  }
}

// A fresh run of the generator writes the bytes the build put into the bundle.
TEST(Lv2Turtle, GeneratorRewritesTheBundleByteForByte)
{
  char folder[] = "/tmp/tavrinel-lv2-ttl.XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string command =
    std::string("'") + TAV_LV2_TTL_TOOL + "' '" + folder + "' " + TAV_PROJECT_VERSION;
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const char* file : {"manifest.ttl", "Tavrinel.ttl"}) {
    const std::string fresh = ReadFile(std::string(folder) + "/" + file);
    EXPECT_FALSE(fresh.empty()) << file;
    EXPECT_EQ(fresh, ReadFile(std::string(TAV_LV2_BUNDLE_DIR) + "/" + file)) << file;
    std::remove((std::string(folder) + "/" + file).c_str());
  }
  rmdir(folder);
}

} // namespace

#else
TEST(Lv2Turtle, NoBundleInThisBuild)
{
  GTEST_SKIP() << "this build makes no LV2 bundle";
}
#endif
