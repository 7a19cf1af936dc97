#include "package/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <tuple>
#include <vector>

#include "package/ini_lines.h"
#include "package/messages.h"
#include "tests/support/package_files.h"
#include "tests/support/platform.h"

namespace package {
namespace {

namespace fs = std::filesystem;

// Sets (or with nullopt unsets) an environment variable for one test and restores it after.
class EnvValue {
 public:
  EnvValue(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      test::SetEnvironment(name, value->c_str());
    } else {
      test::UnsetEnvironment(name);
    }
  }
  ~EnvValue() {
    if (old_) {
      test::SetEnvironment(name_, old_->c_str());
    } else {
      test::UnsetEnvironment(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The settings folder is not in play unless a test asks for it.
struct NoSettingsFolder {
  EnvValue programFiles{"ProgramFiles", std::nullopt};
  EnvValue publicFolder{"PUBLIC", std::nullopt};
};

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ReadSettings, ValuesAsTheFileGivesThem) {
  struct Case {
    const char* what;
    std::string file;  // UTF-8 here, Windows-1252 on disk
    int32_t language;
    std::string version;
    std::vector<int32_t> baud;
    uint8_t comGiven;
    int32_t comIndex;
    bool noted;  // something was clipped or refused
  };
  const std::vector<int32_t> kDefault = {2, 3, 4, 1, 0};
  const std::string kTenKilobytes(10000, 'v');
  const Case cases[] = {
      {"typical, CR LF",
       "[Update]\r\nLanguage=1\r\nVersion=2.05 Grün\r\nBaud=3,4\r\nCom=3\r\n",
       1,
       "2.05 Grün",
       {3, 4},
       1,
       2,
       false},
      {"LF only, keys without regard to case, the first line wins",
       "language=1\nLANGUAGE=0\nno equals sign\nBAUD=5\n",
       1,
       "",
       {5},
       0,
       0,
       false},
      {"CR only", "Language=1\rVersion=Ä\rBaud=\rCom=x\r", 1, "Ä", kDefault, 0, 0, true},
      {"empty file", "", 0, "", kDefault, 0, 0, true},
      {"blanks before the key hide it", " Language=1\r\nVersion =9\r\n", 0, "", kDefault, 0, 0,
       true},
      {"Language 7 counts as German", "Language=7\r\n", 0, "", kDefault, 0, 0, true},
      {"Language only its first character", "Language=1x\r\n", 1, "", kDefault, 0, 0, false},
      // "x" is no baud number 0: it is skipped (and noted) like 9 or -1.
      {"numbers from their start",
       "Baud= 3, +4,x,5b,,\r\nCom= 12abc\r\n",
       0,
       "",
       {3, 4, 5},
       1,
       11,
       true},
      {"baud numbers outside 0..7 are skipped",
       "Language=0\r\nBaud=3,9,-1,7\r\n",
       0,
       "",
       {3, 7},
       0,
       0,
       true},
      {"only unusable baud numbers give the default", "Language=0\r\nBaud=8\r\n", 0, "", kDefault,
       0, 0, true},
      {"more than 17 baud entries",
       "Language=0\r\nBaud=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,2,2,2\r\n", 0, "",
       std::vector<int32_t>(17, 1), 0, 0, true},
      {"a 10 kB value is cut", "Language=0\r\nVersion=" + kTenKilobytes + "\r\n", 0,
       kTenKilobytes.substr(0, 255), kDefault, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NoSettingsFolder noFolder;
    test::TempFolder folder;
    test::WritePackageFile(folder, "Update.ini", c.file);
    test::RecordingReport report;
    Settings settings;
    ASSERT_EQ(ReadSettings(folder.Path(), settings, report), 0);
    EXPECT_EQ(settings.LanguageIndex, c.language);
    EXPECT_EQ(settings.Version, c.version);
    EXPECT_EQ(std::vector<int32_t>(settings.BaudSearchList.begin(),
                                   settings.BaudSearchList.begin() + settings.BaudCount),
              c.baud);
    EXPECT_EQ(settings.ComGiven, c.comGiven);
    EXPECT_EQ(settings.ComIndex, c.comIndex);
    EXPECT_EQ(!report.notes.empty(), c.noted);
    EXPECT_TRUE(report.boxes.empty());
  }
}

TEST(ReadSettings, ComTakesPortNumbersFrom1To256Only) {
  struct Case {
    const char* com;
    uint8_t comGiven;
    int32_t comIndex;
  };
  const Case cases[] = {
      {"1", 1, 0},
      {"256", 1, 255},
      {"0", 0, 0},
      {"257", 0, 0},
      {"-1", 0, 0},
      {"-2147483648", 0, 0},
      {"-99999999999", 0, 0},
      {"2147483647", 0, 0},
      {"4294967297", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.com);
    NoSettingsFolder noFolder;
    test::TempFolder folder;
    test::WritePackageFile(folder, "Update.ini", std::string("Language=0\r\nCom=") + c.com);
    test::RecordingReport report;
    Settings settings;
    ASSERT_EQ(ReadSettings(folder.Path(), settings, report), 0);
    EXPECT_EQ(settings.ComGiven, c.comGiven);
    EXPECT_EQ(settings.ComIndex, c.comIndex);
    if (c.comGiven) {
      EXPECT_TRUE(report.notes.empty());
    } else {
      ASSERT_EQ(report.notes.size(), 1u);
      EXPECT_NE(report.notes[0].find(std::string("Update.ini, Zeile 2: Com=\"") + c.com + "\""),
                std::string::npos)
          << report.notes[0];
    }
  }
}

// Each note says where to correct the file, in the file's own language (read first, wherever its
// line stands); a Language value that is neither 0 nor 1 is noted in German, the language used.
TEST(ReadSettings, NotesSayWhereToCorrectInTheFilesLanguage) {
  struct Case {
    const char* what;
    std::string file;
    std::string note;
  };
  const Case cases[] = {
      {"Language neither 0 nor 1", "Version=1\r\nLanguage=7\r\n",
       "Update.ini: Language=\"7\" ist weder 0 noch 1; es gilt Deutsch. Tragen Sie Language=0 "
       "(Deutsch) oder Language=1 (Englisch) ein."},
      {"Baud entry, English after the Baud line", "Baud=3,9\r\nLanguage=1\r\n",
       "Update.ini, line 1: the Baud entry \"9\" is not a baud rate number (0 to 7) and is "
       "skipped. Enter numbers from 0 to 7, separated by commas."},
      {"Baud entry, German", "Language=0\r\nBaud=3,9\r\n",
       "Update.ini, Zeile 2: der Baud-Eintrag \"9\" ist keine Baudraten-Nummer (0 bis 7)"},
      {"a Baud entry that is no number", "Language=1\r\nBaud=fast\r\n",
       "Update.ini, line 2: the Baud entry \"fast\" is not a baud rate number (0 to 7)"},
      {"no usable Baud entry", "Language=1\r\n\r\nBaud=8\r\n",
       "Update.ini, line 3: no usable Baud entry; the default list is tried."},
      {"too many Baud entries", "Language=0\r\nBaud=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,2\r\n",
       "Update.ini, Zeile 2: mehr als 17 Baud-Einträge; nur die ersten 17 werden versucht."},
      {"Com", "Language=1\r\nCom=x\r\n",
       "Update.ini, line 2: Com=\"x\" is not a port number (1 to 256); the ports are searched. "
       "Enter a number from 1 to 256 or leave Com empty."},
      {"a value cut, English", "Language=1\r\nVersion=" + std::string(300, 'v') + "\r\n",
       "Update.ini, line 2: the value of \"Version\" is too long and was cut (255 characters at "
       "most). Shorten it."},
      {"a value cut, German", "Language=0\r\nVersion=" + std::string(300, 'v') + "\r\n",
       "Update.ini, Zeile 2: der Wert von \"Version\" ist zu lang und wurde gekürzt (höchstens "
       "255 Zeichen). Kürzen Sie ihn."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NoSettingsFolder noFolder;
    test::TempFolder folder;
    test::WritePackageFile(folder, "Update.ini", c.file);
    test::RecordingReport report;
    Settings settings;
    ASSERT_EQ(ReadSettings(folder.Path(), settings, report), 0);
    EXPECT_TRUE(std::any_of(report.notes.begin(), report.notes.end(),
                            [&c](const std::string& note) { return note.starts_with(c.note); }))
        << testing::PrintToString(report.notes);
  }
}

// Every line costs far more memory than its byte: a file of nothing but line ends is read up
// to the line limit, and a rewrite still keeps every byte of it.
TEST(ReadSettings, AFileOfEndlessLinesIsReadUpToTheLineLimit) {
  NoSettingsFolder noFolder;
  const std::string head = "Language=1\r\nVersion=v\r\nBaud=3\r\n";
  const std::string tail = "Com=3\r\n";
  const std::string file =
      head + std::string(kMaxIniFileSize - head.size() - tail.size(), '\n') + tail;
  EXPECT_EQ(SplitIniLines(file).size(), kMaxIniLines + 1);

  test::TempFolder folder;
  test::WritePackageFile(folder, "Update.ini", file);
  test::RecordingReport report;
  Settings settings;
  ASSERT_EQ(ReadSettings(folder.Path(), settings, report), 0);
  EXPECT_EQ(settings.LanguageIndex, 1);
  EXPECT_EQ(settings.Version, "v");
  EXPECT_EQ(settings.BaudCount, 1);
  EXPECT_EQ(settings.ComGiven, 0);  // its line lies beyond the limit
  ASSERT_EQ(report.notes.size(), 1u);
  EXPECT_NE(report.notes[0].find("Update.ini: more than 65536 lines"), std::string::npos)
      << report.notes[0];

  const std::string blanks(kMaxIniLines + 10, '\n');
  test::WritePackageFile(folder, "Update.ini", "Language=1\r\nBaud=\r\nCom=\r\n" + blanks);
  settings.LanguageIndex = 0;
  ASSERT_EQ(WriteSettings(folder.Path(), settings, report), 0);
  // Compared whole, without a diff of megabytes on failure.
  EXPECT_TRUE(ReadBytes(folder.Path() / "Update.ini") ==
              "Language=0\r\nBaud=\r\nCom=\r\n" + blanks + "Version=v\r\n");
}

TEST(ReadSettings, MissingOrUnreadableFileShowsTheBox) {
  NoSettingsFolder noFolder;
  test::TempFolder missing;
  test::TempFolder folderNamedLikeTheFile;
  fs::create_directory(folderNamedLikeTheFile.Path() / "Update.ini");
  for (const test::TempFolder* folder : {&missing, &folderNamedLikeTheFile}) {
    test::RecordingReport report;
    Settings settings;
    EXPECT_EQ(ReadSettings(folder->Path(), settings, report), -1);
    ASSERT_EQ(report.boxes.size(), 1u);
    EXPECT_EQ(report.boxes[0].caption, "Error");
    EXPECT_EQ(report.boxes[0].text, "Konfigurationsdatei 1 nicht vorhanden!!Programm wird beendet");
  }
}

TEST(SettingsFolder, PublicFolderTakesThePlaceOfProgramFiles) {
  test::TempFolder root;
  const fs::path programs = root.Path() / "Programs";
  const fs::path work = programs / "Maker" / "Update";
  fs::create_directories(work);
  const std::string publicFolder = (root.Path() / "Public").string();
  struct Case {
    const char* what;
    std::optional<std::string> programFiles;
    std::optional<std::string> publicValue;
    fs::path working;
    std::string expected;
  };
  const Case cases[] = {
      {"below program files", programs.string(), publicFolder, work,
       (root.Path() / "Public" / "Maker" / "Update").string()},
      {"no public folder", programs.string(), std::nullopt, work, ""},
      {"program files not set", std::nullopt, publicFolder, work, ""},
      {"elsewhere", (root.Path() / "Other").string(), publicFolder, work, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EnvValue programFiles("ProgramFiles", c.programFiles);
    EnvValue publicValue("PUBLIC", c.publicValue);
    EXPECT_EQ(SettingsFolder(c.working), c.expected);
    if (!c.expected.empty()) {
      EXPECT_TRUE(fs::is_directory(c.expected));
    }
  }
}

TEST(SettingsFolder, ReadFromThereOrTheWorkingFolderAndAlwaysSavedThere) {
  test::TempFolder root;
  const fs::path work = root.Path() / "Programs" / "Maker" / "Update";
  fs::create_directories(work);
  EnvValue programFiles("ProgramFiles", (root.Path() / "Programs").string());
  EnvValue publicValue("PUBLIC", (root.Path() / "Public").string());
  const fs::path kept = root.Path() / "Public" / "Maker" / "Update" / "Update.ini";
  std::ofstream(work / "Update.ini", std::ios::binary) << "Language=1\r\nVersion=w\r\n";

  test::RecordingReport report;
  Settings settings;
  ASSERT_EQ(ReadSettings(work, settings, report), 0);  // the settings folder has none yet
  EXPECT_EQ(settings.Version, "w");
  settings.LanguageIndex = 0;
  ASSERT_EQ(WriteSettings(work, settings, report), 0);
  EXPECT_EQ(ReadBytes(kept), "Language=0\r\nVersion=w\r\nBaud=\r\nCom=\r\n");
  EXPECT_EQ(ReadBytes(work / "Update.ini"), "Language=1\r\nVersion=w\r\n");

  std::ofstream(kept, std::ios::binary) << "Version=public\r\n";
  ASSERT_EQ(ReadSettings(work, settings, report), 0);  // now the settings folder's file wins
  EXPECT_EQ(settings.Version, "public");
}

TEST(WriteSettings, KeepsUnknownLinesAndUmlautsInTheirPlaces) {
  struct Case {
    const char* what;
    std::string before;  // UTF-8 here, Windows-1252 on disk
    int32_t language;
    std::string version;
    std::string after;
  };
  const Case cases[] = {
      {"all keys present",
       "[Update]\r\n; Einstellungen für Techniker\r\nLanguage=0 (deutsch)\r\nVersion=1.00\r\n"
       "Größe=5\r\nBaud=3,4\r\nCom=\r\n",
       1, "2.00 Grün",
       "[Update]\r\n; Einstellungen für Techniker\r\nLanguage=1 (deutsch)\r\nVersion=2.00 "
       "Grün\r\nGröße=5\r\nBaud=3,4\r\nCom=\r\n"},
      {"keys missing, LF ends, no end on the last line", "Extra=ä\nCom=4", 0, "1.0",
       "Extra=ä\nCom=4\nLanguage=0\nVersion=1.0\nBaud=\n"},
      {"empty Language value", "LANGUAGE=\r\n", 1, "",
       "Language=1\r\nVersion=\r\nBaud=\r\nCom=\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NoSettingsFolder noFolder;
    test::TempFolder folder;
    test::WritePackageFile(folder, "Update.ini", c.before);
    test::RecordingReport report;
    Settings settings;
    ASSERT_EQ(ReadSettings(folder.Path(), settings, report), 0);
    settings.LanguageIndex = c.language;
    settings.Version = c.version;
    ASSERT_EQ(WriteSettings(folder.Path(), settings, report), 0);
    EXPECT_EQ(ReadBytes(folder.Path() / "Update.ini"), core::Utf8ToCp1252(c.after));
    EXPECT_TRUE(report.boxes.empty());

    Settings again;
    ASSERT_EQ(ReadSettings(folder.Path(), again, report), 0);
    EXPECT_EQ(again.LanguageIndex, c.language);
    EXPECT_EQ(again.Version, c.version);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
  }
}

// Switching the language rewrites the file: a version text with bytes the code page leaves
// undefined stays as it was, byte for byte.
TEST(WriteSettings, LanguageSwitchKeepsEveryByteOfTheVersion) {
  NoSettingsFolder noFolder;
  test::TempFolder folder;
  folder.Write("Update.ini", "Language=0\r\nVersion=1.0\x81\x8D\x8F\x90\x9D\xE4\r\n");
  test::RecordingReport report;
  Settings settings;
  ASSERT_EQ(ReadSettings(folder.Path(), settings, report), 0);
  settings.LanguageIndex = 1;
  ASSERT_EQ(WriteSettings(folder.Path(), settings, report), 0);
  EXPECT_EQ(ReadBytes(folder.Path() / "Update.ini"),
            "Language=1\r\nVersion=1.0\x81\x8D\x8F\x90\x9D\xE4\r\nBaud=\r\nCom=\r\n");
}

TEST(WriteSettings, FailedSaveLeavesTheOldFileWhole) {
  NoSettingsFolder noFolder;
  test::TempFolder folder;
  const std::string before = "; " + std::string(200, '#') + "\r\nLanguage=0\r\nVersion=1.00\r\n";
  folder.Write("Update.ini", before);
  test::RecordingReport report;
  Settings settings;
  ASSERT_EQ(ReadSettings(folder.Path(), settings, report), 0);
  settings.LanguageIndex = 1;
  {
    // A save that fails halfway, as on a full disk (root ignores a read-only folder, so that
    // cannot make the failure here).
    const auto limit = test::LimitFileSize(64);
    if (!limit) GTEST_SKIP() << "no limit of the file size on this system";
    EXPECT_EQ(WriteSettings(folder.Path(), settings, report), -1);
  }
  EXPECT_EQ(ReadBytes(folder.Path() / "Update.ini"), before);
  ASSERT_EQ(report.boxes.size(), 1u);
  EXPECT_EQ(report.boxes[0].caption, "Error");
  EXPECT_NE(report.boxes[0].text.find("Update.ini"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

// The file went away while the program ran: the box says so in the run's language (the program
// goes on, so it does not say that it ends).
TEST(WriteSettings, MissingFileShowsTheBoxInTheLanguage) {
  NoSettingsFolder noFolder;
  test::TempFolder folder;
  const std::string file = (folder.Path() / "Update.ini").string();
  for (const auto& [language, caption, text] :
       {std::tuple{0, "Fehler", file + " konnte nicht gespeichert werden (die Datei fehlt)."},
        std::tuple{1, "Error", "Cannot save " + file + " (the file is missing)."}}) {
    test::RecordingReport report;
    Settings settings;
    settings.LanguageIndex = language;
    EXPECT_EQ(WriteSettings(folder.Path(), settings, report), -1);
    ASSERT_EQ(report.boxes.size(), 1u);
    EXPECT_EQ(report.boxes[0].caption, caption);
    EXPECT_EQ(report.boxes[0].text.substr(0, text.size()), text);
    EXPECT_FALSE(fs::exists(folder.Path() / "Update.ini"));
  }
}

}  // namespace
}  // namespace package
