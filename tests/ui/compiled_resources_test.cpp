// The resources of the Windows program, compiled, against the tables the
// headless window system builds its dialogs from: both come from one
// source, and this shows the resource compiler reads the generated .rc as
// the tables mean it (styles, visibility, texts, font), and that the icon
// and string resources are there.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "framework/resource_data.h"
#include "res/resource_ids.h"

namespace {

constexpr std::uint16_t kTypeIcon = 3;
constexpr std::uint16_t kTypeDialog = 5;
constexpr std::uint16_t kTypeString = 6;
constexpr std::uint16_t kTypeGroupIcon = 14;
constexpr std::uint16_t kOrdinalMarker = 0xFFFF;
constexpr std::uint16_t kExtendedSignature = 0xFFFF;
constexpr std::size_t kStringsPerBlock = 16;

struct Resource {
    std::uint16_t type;
    std::uint16_t name;
    std::uint16_t language;
    std::vector<std::uint8_t> data;
};

// Reads the little-endian fields of one resource's data.
class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& data, std::size_t offset = 0) : data_(data), at_(offset) {}

    std::uint16_t Word() {
        if (at_ + 2 > data_.size()) throw std::out_of_range("past the end");
        const auto value = static_cast<std::uint16_t>(data_[at_] | (data_[at_ + 1] << 8));
        at_ += 2;
        return value;
    }
    std::uint32_t Dword() {
        const std::uint32_t low = Word();
        return low | (static_cast<std::uint32_t>(Word()) << 16);
    }
    std::int16_t Short() { return static_cast<std::int16_t>(Word()); }
    std::uint8_t Byte() {
        if (at_ >= data_.size()) throw std::out_of_range("past the end");
        return data_[at_++];
    }
    void AlignDword() { at_ = (at_ + 3) & ~std::size_t{3}; }
    void Seek(std::size_t offset) { at_ = offset; }
    std::size_t Offset() const { return at_; }
    bool AtEnd() const { return at_ >= data_.size(); }

    // A zero-terminated UTF-16 string (basic plane), as UTF-8.
    std::string String() {
        std::string text;
        for (std::uint16_t unit = Word(); unit != 0; unit = Word()) text += Utf8(unit);
        return text;
    }
    // A string or an ordinal; ordinals as "#<number>".
    std::string StringOrOrdinal() {
        const std::size_t start = at_;
        if (Word() == kOrdinalMarker) return "#" + std::to_string(Word());
        at_ = start;
        return String();
    }

    static std::string Utf8(std::uint16_t unit) {
        std::string out;
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit < 0x800) {
            out += static_cast<char>(0xC0 | (unit >> 6));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (unit >> 12));
            out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        }
        return out;
    }

private:
    const std::vector<std::uint8_t>& data_;
    std::size_t at_;
};

// The entries of a .res file: header (sizes, numeric type and name,
// language) and data, each DWORD-aligned.
std::vector<Resource> ReadResFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<Resource> resources;
    Reader reader(bytes);
    while (!reader.AtEnd()) {
        const std::size_t start = reader.Offset();
        const std::uint32_t dataSize = reader.Dword();
        const std::uint32_t headerSize = reader.Dword();
        const std::string type = reader.StringOrOrdinal();
        const std::string name = reader.StringOrOrdinal();
        reader.AlignDword();
        reader.Dword();  // data version
        reader.Word();   // memory flags
        const std::uint16_t language = reader.Word();
        const std::size_t dataStart = start + headerSize;
        if (dataSize > 0 && type[0] == '#' && name[0] == '#') {
            resources.push_back({static_cast<std::uint16_t>(std::stoi(type.substr(1))),
                                 static_cast<std::uint16_t>(std::stoi(name.substr(1))), language,
                                 std::vector<std::uint8_t>(bytes.begin() + static_cast<long>(dataStart),
                                                           bytes.begin() + static_cast<long>(dataStart + dataSize))});
        }
        reader.Seek(dataStart + dataSize);
        reader.AlignDword();
    }
    return resources;
}

struct CompiledControl {
    std::string windowClass;
    int id;
    std::string text;
    int x, y, width, height;
    std::uint32_t style, exStyle;
};

struct CompiledDialog {
    bool extended;
    std::uint32_t style, exStyle;
    int x, y, width, height;
    std::string caption;
    int fontPoints = 0, fontWeight = 0, fontItalic = 0, fontCharset = 0;
    std::string fontName;
    std::vector<CompiledControl> controls;
};

std::string ClassName(const std::string& compiled) {
    static const std::map<std::string, std::string> atoms = {
        {"#128", "BUTTON"}, {"#129", "EDIT"}, {"#130", "STATIC"}, {"#131", "LISTBOX"}, {"#133", "COMBOBOX"}};
    if (auto atom = atoms.find(compiled); atom != atoms.end()) return atom->second;
    std::string upper = compiled;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

CompiledDialog ParseDialog(const std::vector<std::uint8_t>& data) {
    CompiledDialog dialog{};
    Reader reader(data);
    const std::uint16_t version = reader.Word();
    const std::uint16_t signature = reader.Word();
    dialog.extended = version == 1 && signature == kExtendedSignature;
    if (dialog.extended) {
        reader.Dword();  // help id
        dialog.exStyle = reader.Dword();
        dialog.style = reader.Dword();
    } else {
        dialog.style = version | (static_cast<std::uint32_t>(signature) << 16);
        dialog.exStyle = reader.Dword();
    }
    const std::uint16_t count = reader.Word();
    dialog.x = reader.Short();
    dialog.y = reader.Short();
    dialog.width = reader.Short();
    dialog.height = reader.Short();
    reader.StringOrOrdinal();  // menu
    reader.StringOrOrdinal();  // class
    dialog.caption = reader.String();
    if ((dialog.style & DS_SETFONT) != 0) {
        dialog.fontPoints = reader.Word();
        if (dialog.extended) {
            dialog.fontWeight = reader.Word();
            dialog.fontItalic = reader.Byte();
            dialog.fontCharset = reader.Byte();
        }
        dialog.fontName = reader.String();
    }
    for (std::uint16_t item = 0; item < count; ++item) {
        reader.AlignDword();
        CompiledControl control{};
        if (dialog.extended) {
            reader.Dword();  // help id
            control.exStyle = reader.Dword();
            control.style = reader.Dword();
        } else {
            control.style = reader.Dword();
            control.exStyle = reader.Dword();
        }
        control.x = reader.Short();
        control.y = reader.Short();
        control.width = reader.Short();
        control.height = reader.Short();
        control.id = dialog.extended ? static_cast<int>(reader.Dword()) : reader.Short();
        control.windowClass = ClassName(reader.StringOrOrdinal());
        control.text = reader.StringOrOrdinal();
        const std::uint16_t extra = reader.Word();
        for (std::uint16_t skipped = 0; skipped < extra; ++skipped) reader.Byte();
        dialog.controls.push_back(control);
    }
    return dialog;
}

class CompiledResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        resources_ = ReadResFile(VORN_COMPILED_RESOURCES);
        ASSERT_FALSE(resources_.empty()) << VORN_COMPILED_RESOURCES;
    }
    const Resource* Find(std::uint16_t type, std::uint16_t name) const {
        for (const Resource& resource : resources_) {
            if (resource.type == type && resource.name == name) return &resource;
        }
        return nullptr;
    }
    std::vector<Resource> resources_;
};

TEST_F(CompiledResourcesTest, DialogTemplatesMatchTheHeadlessTables) {
    for (const DialogTemplate& table : ProgramResourceTables().dialogs) {
        SCOPED_TRACE("dialog " + std::to_string(table.id));
        const Resource* resource = Find(kTypeDialog, static_cast<std::uint16_t>(table.id));
        ASSERT_NE(resource, nullptr);
        const CompiledDialog compiled = ParseDialog(resource->data);
        EXPECT_EQ(compiled.extended, table.extended);
        EXPECT_EQ(compiled.style, table.style);
        EXPECT_EQ(compiled.exStyle, table.exStyle);
        EXPECT_EQ(compiled.caption, table.caption);
        EXPECT_EQ((std::vector<int>{compiled.x, compiled.y, compiled.width, compiled.height}),
                  (std::vector<int>{table.x, table.y, table.width, table.height}));
        EXPECT_EQ(compiled.fontName, table.fontName);
        EXPECT_EQ(compiled.fontPoints, table.fontPoints);
        if (table.extended) {
            EXPECT_EQ(compiled.fontWeight, table.fontWeight);
            EXPECT_EQ(compiled.fontItalic, table.fontItalic);
            EXPECT_EQ(compiled.fontCharset, table.fontCharset);
        }
        ASSERT_EQ(compiled.controls.size(), table.controls.size());
        for (std::size_t index = 0; index < table.controls.size(); ++index) {
            const ControlTemplate& want = table.controls[index];
            const CompiledControl& got = compiled.controls[index];
            SCOPED_TRACE("control " + std::to_string(index) + " id " + std::to_string(want.id));
            EXPECT_EQ(got.windowClass, want.windowClass);
            EXPECT_EQ(static_cast<std::int16_t>(got.id), want.id);
            EXPECT_EQ(got.text, want.iconId != 0 ? "#" + std::to_string(want.iconId) : std::string(want.text));
            EXPECT_EQ((std::vector<int>{got.x, got.y, got.width, got.height}),
                      (std::vector<int>{want.x, want.y, want.width, want.height}));
            EXPECT_EQ(got.style, want.style);
            EXPECT_EQ(got.exStyle, want.exStyle);
        }
    }
}

TEST_F(CompiledResourcesTest, HiddenControlsOfTheMainDialogStayHidden) {
    const Resource* resource = Find(kTypeDialog, IDD_MAKEVORNDISK_DIALOG);
    ASSERT_NE(resource, nullptr);
    std::map<int, bool> visible;
    for (const CompiledControl& control : ParseDialog(resource->data).controls) {
        if (control.id != -1) visible[control.id] = (control.style & WS_VISIBLE) != 0;
    }
    for (int id : {IDC_LABEL_EDIT, IDC_ZIP_RADIO, IDC_HDD_RADIO}) EXPECT_FALSE(visible[id]) << id;
    for (int id : {IDC_LOG_LIST, IDC_DRIVE_COMBO, IDC_INFO_EDIT, IDC_MAKE_BUTTON, IDC_FIRMWARE_TEXT}) {
        EXPECT_TRUE(visible[id]) << id;
    }
}

TEST_F(CompiledResourcesTest, StringTableHoldsTheTableStrings) {
    for (const StringResource& table : ProgramResourceTables().strings) {
        const Resource* block = Find(kTypeString, static_cast<std::uint16_t>(table.id / kStringsPerBlock + 1));
        ASSERT_NE(block, nullptr) << table.id;
        Reader reader(block->data);
        std::string text;
        for (std::size_t slot = 0; slot <= table.id % kStringsPerBlock; ++slot) {
            const std::uint16_t length = reader.Word();
            text.clear();
            for (std::uint16_t unit = 0; unit < length; ++unit) text += Reader::Utf8(reader.Word());
        }
        EXPECT_EQ(text, table.text);
    }
}

TEST_F(CompiledResourcesTest, ApplicationIconHasA32And16PixelImageIn16Colours) {
    const Resource* group = Find(kTypeGroupIcon, IDR_MAINFRAME);
    ASSERT_NE(group, nullptr);
    Reader reader(group->data);
    reader.Word();  // reserved
    EXPECT_EQ(reader.Word(), 1);  // icons
    const std::uint16_t count = reader.Word();
    std::vector<int> sizes;
    for (std::uint16_t entry = 0; entry < count; ++entry) {
        const std::uint8_t width = reader.Byte();
        const std::uint8_t height = reader.Byte();
        const std::uint8_t colours = reader.Byte();
        reader.Byte();
        reader.Word();  // planes
        const std::uint16_t bitsPerPixel = reader.Word();
        reader.Dword();  // bytes
        const std::uint16_t iconId = reader.Word();
        EXPECT_EQ(width, height);
        EXPECT_EQ(colours, 16);
        EXPECT_EQ(bitsPerPixel, 4);
        EXPECT_NE(Find(kTypeIcon, iconId), nullptr);
        sizes.push_back(width);
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
}

}  // namespace
