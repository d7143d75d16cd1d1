// The engine's modules, computed from the includes of engine/, against the module picture of
// docs/architecture.md: the same edges, and no cycle but the two the design needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Module -> the modules it includes, each with the files that do.
using Graph = std::map<std::string, std::map<std::string, std::set<std::string>>>;

// The upward edges the design requires, and the one file each may come from: the graphics
// device reaches its owner and the system's zone; the zone is built from its system.
const std::map<std::pair<std::string, std::string>, std::string> kUpward = {
    {{"gfx", "core"}, "gfx/TrelIGfx.cpp"},
    {{"world", "core"}, "world/TrelZone.cpp"},
};

// The folder of a line's quoted include, "gfx" for #include "gfx/TrelIGfx.h", else "".
std::string includedFolder(const std::string& line) {
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line[at] != '#')
        return "";
    at = line.find_first_not_of(" \t", at + 1);
    if (at == std::string::npos || line.compare(at, 7, "include") != 0)
        return "";
    at = line.find_first_not_of(" \t", at + 7);
    if (at == std::string::npos || line[at] != '"')
        return "";
    std::size_t slash = line.find('/', at + 1), close = line.find('"', at + 1);
    return slash < close ? line.substr(at + 1, slash - at - 1) : "";
}

Graph includeGraph(const fs::path& engine) {
    Graph graph;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(engine)) {
        std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        std::string file = fs::relative(entry.path(), engine).generic_string();
        std::size_t slash = file.find('/');
        if (slash == std::string::npos)
            continue; // trel.h: the game's entry, above every module
        std::string module = file.substr(0, slash);
        graph[module]; // a module that includes nothing of the others is still one
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            std::string folder = includedFolder(line);
            if (!folder.empty() && folder != module && fs::is_directory(engine / folder))
                graph[module][folder].insert(file);
        }
    }
    return graph;
}

// The picture's lines "  module ──> a, b  (text)" and their continuations "   ──> c".
Graph documentedGraph(const fs::path& doc) {
    std::ifstream in(doc);
    std::string line;
    bool inSection = false, inPicture = false;
    std::string current;
    Graph graph;
    const std::string arrow = "──>";
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0)
            inSection = line.find("Modules and the way") != std::string::npos;
        if (!inSection)
            continue;
        if (line.rfind("```", 0) == 0) {
            if (inPicture)
                break;
            inPicture = true;
            continue;
        }
        std::size_t at = line.find(arrow);
        if (!inPicture || at == std::string::npos)
            continue;
        std::stringstream from(line.substr(0, at));
        std::string name;
        if (from >> name)
            current = name;
        // The targets: lower-case names joined by ", ", up to the first other character.
        std::size_t begin = line.find_first_not_of(' ', at + arrow.size());
        for (std::size_t i = begin; i != std::string::npos && i <= line.size(); ++i) {
            if (i < line.size() && line[i] >= 'a' && line[i] <= 'z')
                continue;
            if (i > begin)
                graph[current][line.substr(begin, i - begin)].insert(doc.string());
            if (line.compare(i, 2, ", ") != 0)
                break;
            begin = ++i + 1;
        }
    }
    return graph;
}

// The cycle through the modules, "a -> b -> a", or "" when there is none.
std::string findCycle(const Graph& graph) {
    std::map<std::string, int> state; // 0 unseen, 1 on the path, 2 done
    std::vector<std::string> path;
    std::string cycle;
    std::function<bool(const std::string&)> visit = [&](const std::string& m) {
        state[m] = 1;
        path.push_back(m);
        auto found = graph.find(m);
        if (found != graph.end())
            for (const auto& edge : found->second) {
                if (state[edge.first] == 1) {
                    for (auto at = std::find(path.begin(), path.end(), edge.first);
                         at != path.end(); ++at)
                        cycle += *at + " -> ";
                    cycle += edge.first;
                    return true;
                }
                if (state[edge.first] == 0 && visit(edge.first))
                    return true;
            }
        path.pop_back();
        state[m] = 2;
        return false;
    };
    for (const auto& module : graph)
        if (state[module.first] == 0 && visit(module.first))
            return cycle;
    return "";
}

// Every fault of the graph, one per line: an upward edge from a file the design does not
// name, or a cycle once the design's upward edges are left out.
std::string layeringFaults(Graph graph) {
    std::string faults;
    for (const auto& up : kUpward) {
        auto edge = graph[up.first.first].find(up.first.second);
        if (edge == graph[up.first.first].end())
            continue;
        for (const std::string& file : edge->second)
            if (file != up.second)
                faults += up.first.first + " includes " + up.first.second + " in " + file +
                          "; only " + up.second + " may\n";
        graph[up.first.first].erase(edge);
    }
    std::string cycle = findCycle(graph);
    if (!cycle.empty())
        faults += "cycle: " + cycle + "\n";
    return faults;
}

std::string edgesOnlyIn(const Graph& a, const Graph& b) {
    std::string only;
    for (const auto& module : a)
        for (const auto& edge : module.second) {
            auto other = b.find(module.first);
            if (other == b.end() || other->second.count(edge.first) == 0)
                only += module.first + " -> " + edge.first + " (" + *edge.second.begin() + ")\n";
        }
    return only;
}

TEST(ModuleGraph, IncludesMatchTheArchitecturePictureAndRunOneWay) {
    fs::path root = TREL_SOURCE_DIR;
    Graph code = includeGraph(root / "engine");
    Graph doc = documentedGraph(root / "docs" / "architecture.md");
    ASSERT_GT(code.size(), 10u);
    ASSERT_FALSE(doc.empty()) << "no module picture found in docs/architecture.md";
    EXPECT_EQ(edgesOnlyIn(code, doc), "") << "included, but not in docs/architecture.md";
    EXPECT_EQ(edgesOnlyIn(doc, code), "") << "in docs/architecture.md, but not included";
    EXPECT_EQ(layeringFaults(code), "");
}

TEST(ModuleGraph, AnEdgeAddedTheWrongWayIsNamed) {
    Graph graph = {{"core", {{"sound", {"core/TrelSystem.h"}}, {"world", {"core/TrelSystem.cpp"}}}},
                   {"world", {{"core", {"world/TrelZone.cpp"}}, {"base", {"world/TrelZone.h"}}}},
                   {"sound", {{"base", {"sound/TrelAudio.h"}}}}};
    EXPECT_EQ(layeringFaults(graph), "");
    graph["sound"]["core"].insert("sound/TrelAudio.cpp");
    EXPECT_EQ(layeringFaults(graph), "cycle: core -> sound -> core\n");
    graph["sound"].erase("core");
    graph["world"]["core"].insert("world/TrelLayer.cpp");
    EXPECT_EQ(layeringFaults(graph),
              "world includes core in world/TrelLayer.cpp; only world/TrelZone.cpp may\n");
}

} // namespace
