#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>

#include "printserver/settings_file.h"
#include "support/disk_full.h"
#include "support/work_dir.h"

using testsupport::TempWorkDir;

TEST(SettingsRecord, SlotsHoldAtMost254BytesAndReadToTheirEnd) {
  ParamsRecord rec{};
  rec.fill(0xAA);
  PParPutStr(&rec[PAR_FOLDER], "/munka/");
  EXPECT_EQ(std::memcmp(&rec[PAR_FOLDER], "/munka/", 7), 0);
  for (size_t i = PAR_FOLDER + 7; i < PAR_FOLDER + kParamsSlotSize; ++i) ASSERT_EQ(rec[i], 0) << i;
  EXPECT_EQ(rec[PAR_FOLDER + kParamsSlotSize], 0xAA) << "the next field is untouched";
  EXPECT_EQ(PParGetStr(&rec[PAR_FOLDER]), "/munka/");

  PParPutStr(&rec[PAR_PRINTER], std::string(300, 'x'));
  EXPECT_EQ(PParGetStr(&rec[PAR_PRINTER]), std::string(254, 'x'));
  EXPECT_EQ(rec[PAR_PRINTER + 254], 0);

  std::memset(&rec[PAR_PRNTYPE], 'y', kParamsSlotSize);  // a slot without a zero byte
  EXPECT_EQ(PParGetStr(&rec[PAR_PRNTYPE]), std::string(255, 'y'));

  PParPutStr(&rec[PAR_FONT], "Árvíztűrő");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&rec[PAR_FONT]), 9), "\xC1rv\xEDzt\xFBr\xF5") << "CP1250 bytes";
  EXPECT_EQ(PParGetStr(&rec[PAR_FONT]), "Árvíztűrő");
}

TEST(SettingsRecord, DefaultsAndLittleEndianUnalignedIntegers) {
  ParamsRecord rec;
  ParamsSetDefaults(rec);
  EXPECT_EQ(ParamsMagic(rec), 0u) << "the magic number is set only on saving";
  EXPECT_EQ(ParamsGetLong(rec, PAR_FONTSIZE), 10);
  EXPECT_EQ(ParamsGetLong(rec, PAR_TOP), 10000);
  EXPECT_EQ(ParamsGetLong(rec, PAR_LEFT), 20000);
  EXPECT_EQ(ParamsGetLong(rec, PAR_BOTTOM), 10000);
  EXPECT_EQ(ParamsGetLong(rec, PAR_RIGHT), 10000);
  EXPECT_EQ(ParamsGetLong(rec, PAR_LINEINTERVAL), 100);
  EXPECT_EQ(PParGetStr(&rec[PAR_PRNTYPE]), " ");
  ParamsPutLong(rec, PAR_LEFT, 0x01020304);
  EXPECT_EQ(rec[522], 0x04);
  EXPECT_EQ(rec[525], 0x01);
  ParamsPutLong(rec, PAR_MAGIC, int32_t(kParamsMagic));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(rec.data()), 4), "\x05\x4A\x3E\x5F");
}

TEST(SettingsFile, ReadResults) {
  TempWorkDir dir;
  ParamsRecord rec;
  ParamsSetDefaults(rec);
  const ParamsRecord defaults = rec;
  EXPECT_EQ(ReadParamsFile(dir.File("KWVAROZE.CFG"), rec), ParamsRead::Missing);

  struct Case {
    std::string bytes;
    ParamsRead expected;
  } cases[] = {
      {"", ParamsRead::Invalid},
      {"\x05\x4A\x3E", ParamsRead::Invalid},                    // shorter than the magic number
      {"\xFF\xFF\xFF\xFF", ParamsRead::Invalid},
      {std::string("\x05\x4A\x3E\x5F", 4), ParamsRead::Ok},     // the magic number alone
  };
  for (const auto& c : cases) {
    dir.Write("KWVAROZE.CFG", c.bytes);
    rec = defaults;
    EXPECT_EQ(ReadParamsFile(dir.File("KWVAROZE.CFG"), rec), c.expected) << c.bytes.size();
    if (c.expected == ParamsRead::Ok) {
      EXPECT_EQ(ParamsGetLong(rec, PAR_LEFT), 0) << "a short file leaves the rest zero";
    } else {
      EXPECT_EQ(rec, defaults) << "a rejected file leaves the record alone";
    }
  }

  // 1050 bytes are read; anything after them is ignored.
  ParamsRecord full;
  ParamsSetDefaults(full);
  ParamsPutLong(full, PAR_MAGIC, int32_t(kParamsMagic));
  dir.Write("KWVAROZE.CFG", std::string(reinterpret_cast<char*>(full.data()), kParamsSize) + "trailing");
  EXPECT_EQ(ReadParamsFile(dir.File("KWVAROZE.CFG"), rec), ParamsRead::Ok);
  EXPECT_EQ(rec, full);

  std::filesystem::remove(dir.File("KWVAROZE.CFG"));
  std::filesystem::create_directory(dir.File("KWVAROZE.CFG"));
  EXPECT_EQ(ReadParamsFile(dir.File("KWVAROZE.CFG"), rec), ParamsRead::OpenFailed);
}

TEST(SettingsFile, WriteReplacesTheFileWholeOrNotAtAll) {
  TempWorkDir dir;
  ParamsRecord rec;
  ParamsSetDefaults(rec);
  ParamsPutLong(rec, PAR_MAGIC, int32_t(kParamsMagic));
  ASSERT_TRUE(WriteParamsFile(dir.File("KWVAROZE.CFG"), rec));
  EXPECT_EQ(dir.Read("KWVAROZE.CFG"), std::string(reinterpret_cast<char*>(rec.data()), kParamsSize));

  // A disk that fills up in the middle of the write (file size limit) leaves
  // the previous file as it was and no temporary file behind.
  const std::string before = dir.Read("KWVAROZE.CFG");
  ParamsRecord changed = rec;
  PParPutStr(&changed[PAR_PRINTER], "masik");
  bool written = true;
  testsupport::WithFileSizeLimit(100, [&] { written = WriteParamsFile(dir.File("KWVAROZE.CFG"), changed); });
  EXPECT_FALSE(written);
  EXPECT_EQ(dir.Read("KWVAROZE.CFG"), before);
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) { (void)e; ++files; }
  EXPECT_EQ(files, 1);
}
