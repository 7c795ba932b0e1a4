#pragma once
// Reads every form description (*.qfm) directly in a folder (not its subfolders, which hold
// descriptions whose classes only particular suites register) into a fresh instance of the class its
// root block names, so that an unknown class, property, enumeration name, component or
// handler fails the calling test. Suites call it once they registered their classes.
#include "framework/FormReader.h"
#include "framework/System.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

// The repository's root: QM_SOURCE_DIR (set by CTest) or this file's location.
inline std::filesystem::path SourceRoot()
{
    if (const char* env = std::getenv("QM_SOURCE_DIR"); env && *env)
        return env;
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

// createRoot makes the root of a class (default: its CreateComponent with no owner); it
// must give an instance that has not read its description yet. Returns the files read.
inline int CheckAllFormDescriptions(const std::filesystem::path& dir,
                                    std::function<TComponent*(TClass)> createRoot = {})
{
    if (!std::filesystem::is_directory(dir))
        return 0;
    std::vector<std::filesystem::path> files;
    for (auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().extension() == ".qfm")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    int checked = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        std::string name = file.filename().string();
        TComponent* root = nullptr;
        try {
            std::string className = FormDescriptionClassName(text.str(), name);
            TClass cls = FindClass(className);
            if (!cls || !cls->CreateComponent) {
                ADD_FAILURE() << name << ": class " << className << " is not registered";
                continue;
            }
            root = createRoot ? createRoot(cls) : cls->CreateComponent(nullptr);
            ReadComponentFromText(root, text.str(), name);
            ++checked;
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
        FreeObject(root);
    }
    return checked;
}
