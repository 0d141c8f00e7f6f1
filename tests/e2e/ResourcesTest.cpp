// Reads the built exe's resources the way Windows does: icon, version info and manifest.
#include "tests/e2e/Driver.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;
};
struct IconGroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
#pragma pack(pop)

class ExeResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(e2e::besideThisExe(L"Brindlecrest.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        if (module_) {
            FreeLibrary(module_);
        }
    }
    std::string resourceBytes(const wchar_t* type, const wchar_t* name) {
        HRSRC found = FindResourceW(module_, name, type);
        if (!found) {
            return {};
        }
        HGLOBAL loaded = LoadResource(module_, found);
        const char* data = static_cast<const char*>(LockResource(loaded));
        return std::string(data, SizeofResource(module_, found));
    }
    HMODULE module_ = nullptr;
};

TEST_F(ExeResources, Icon107HoldsFourSizes) {
    std::string group = resourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEW(107));
    ASSERT_GE(group.size(), sizeof(IconGroupHeader));
    auto* header = reinterpret_cast<const IconGroupHeader*>(group.data());
    ASSERT_EQ(group.size(), sizeof(IconGroupHeader) + header->count * sizeof(IconGroupEntry));
    std::set<int> sizes;
    auto* entries = reinterpret_cast<const IconGroupEntry*>(group.data() + sizeof(IconGroupHeader));
    for (int i = 0; i < header->count; ++i) {
        sizes.insert(entries[i].width == 0 ? 256 : entries[i].width);
        EXPECT_EQ(entries[i].bitCount, 32) << "icon images carry an alpha channel";
        EXPECT_FALSE(resourceBytes(RT_ICON, MAKEINTRESOURCEW(entries[i].id)).empty());
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));

    // Windows can make a 32-pixel icon from it.
    HICON icon = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(107), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(icon, nullptr);
    if (icon) {
        DestroyIcon(icon);
    }
}

TEST_F(ExeResources, ManifestAsksForCommonControls6AndNamesWindows10) {
    std::string manifest = resourceBytes(RT_MANIFEST, MAKEINTRESOURCEW(1));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
}

TEST_F(ExeResources, VersionInfoNamesTheProduct) {
    WideString path = e2e::besideThisExe(L"Brindlecrest.exe");
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    wchar_t* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductName", reinterpret_cast<void**>(&value), &length));
    EXPECT_STREQ(value, L"Brindlecrest");
}

}  // namespace
