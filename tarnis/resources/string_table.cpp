#include "tarnis/resources/string_table.h"

#include <cstring>
#include <unordered_map>

namespace tarnis {

namespace {

ModuleHandle gModule = nullptr;
char gBuffer[256];

// Texts by number. Each area adds its own texts here as it lands.
const std::unordered_map<int, const char*>& table() {
  static const std::unordered_map<int, const char*> texts = {
      {1, "Tarnis (KORVO)"},
      {9183, "パラメータ変更"},
      // Blend modes.
      {50, "通常"}, {51, "加算"}, {52, "減算"}, {53, "乗算"}, {54, "スクリーン"},
      {55, "オーバーレイ"}, {56, "ソフトライト"}, {57, "ハードライト"}, {58, "比較（暗）"},
      {59, "比較（明）"}, {60, "差の絶対値"}, {61, "除外"}, {62, "色相"}, {63, "彩度"},
      {64, "カラー"}, {65, "輝度"},
      // Progress stages of the line engine.
      {673, "オブジェクトエッジの検出"}, {674, "交差エッジの検出"},
      {675, "[Tarnis] エッジ連結プロセス１"}, {676, "[Tarnis] エッジ連結プロセス2"},
      {677, "[Tarnis] ライン描画"},
      // Class names shown.
      {500, "Tarnis ライン"}, {600, "Tarnis ラインセット"},
      {800, "Tarnis ライン"}, {850, "Tarnis マテリアル"}, {1011, "Tarnis ファイル出力"},
      {1001, "Tarnis"},
      {900, "CLASS_NAME_BRUSH"}, {136, "Tarnis ライン設定"},
      // Parameters of the shape control, by parameter id from 700.
      {700, "ノード角度"}, {701, "ノード半径"}, {702, "リセット時のノード数"},
      {703, "ノードタイプ"}, {704, "ハンドル0"}, {705, "ハンドル1"},
  };
  return texts;
}

}  // namespace

void SetModuleHandle(ModuleHandle handle) { gModule = handle; }
ModuleHandle GetModuleHandle() { return gModule; }

const char* FindString(int id) {
  auto it = table().find(id);
  return it == table().end() ? nullptr : it->second;
}

const char* GetString(int id) {
  if (!gModule) return nullptr;
  const char* text = FindString(id);
  if (!text) return nullptr;
  // Copies at most 255 bytes; a cut never splits a UTF-8 sequence.
  size_t n = std::strlen(text);
  if (n > sizeof gBuffer - 1) {
    n = sizeof gBuffer - 1;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(gBuffer, text, n);
  gBuffer[n] = '\0';
  return gBuffer;
}

}  // namespace tarnis
