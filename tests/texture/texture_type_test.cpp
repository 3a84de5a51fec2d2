// The extension table and the loader factory's choice of class.
#include "texture/texture_type.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "support/reason.h"
#include "texture/create_texture.h"

namespace tarnvick::testing {
namespace {

TEST(TextureType, LookupByTextAfterTheLastDotIgnoringCase) {
  EXPECT_EQ(LookupTextureType("wall.M32"), TextureType::kM32);
  EXPECT_EQ(LookupTextureType("wall.m32"), TextureType::kM32);
  EXPECT_EQ(LookupTextureType("wall.M8"), TextureType::kM8);
  EXPECT_EQ(LookupTextureType("a.b.tex"), TextureType::kTex);
  EXPECT_EQ(LookupTextureType("x.bmp"), TextureType::kBmp);
  EXPECT_EQ(LookupTextureType("x.Tga"), TextureType::kTga);
  EXPECT_EQ(LookupTextureType("x.pcx"), TextureType::kPcx);
  EXPECT_EQ(LookupTextureType("x.wAl"), TextureType::kWal);
  EXPECT_EQ(LookupTextureType("wall.m32x"), TextureType::kNone);
  EXPECT_EQ(LookupTextureType("wall"), TextureType::kNone);
  EXPECT_EQ(LookupTextureType("wall."), TextureType::kNone);
  EXPECT_EQ(LookupTextureType("skin.m32.bak"), TextureType::kNone);
  // The directory's "." is used when the file name has none.
  EXPECT_EQ(LookupTextureType("tex.old/wall"), TextureType::kNone);
  EXPECT_EQ(LookupTextureType("tex.m8/wall"), TextureType::kNone);
}

TEST(CreateTexture, GivesNothingForTypesWithoutAReader) {
  TempDir dir;
  for (const char* name : {"a.wal", "a.tex", "a", "a.png.m"}) {
    WriteBytes(dir / name, std::vector<std::uint8_t>(4096, 1));
    EXPECT_EQ(ReasonOf(CreateTexture({kWorkingDirectory, dir / name})), "not an M8 or M32 file") << name;
  }
}

TEST(CreateTexture, FileThatCannotBeOpenedGivesNothingWithTheReason) {
  TempDir dir;
  EXPECT_EQ(ReasonOf(CreateTexture({kWorkingDirectory, dir / "missing.m32"})), "cannot open file: No such file or directory");
  std::filesystem::create_directory(dir / "folder.m8");
  EXPECT_EQ(ReasonOf(CreateTexture({kWorkingDirectory, dir / "folder.m8"})), "not a regular file");
}

}  // namespace
}  // namespace tarnvick::testing
