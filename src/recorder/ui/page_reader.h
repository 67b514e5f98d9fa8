#pragma once
// TForm2, the modal raw page reader and writer ("чтение памяти"): card pages from the FAT area and the
// data area, their decoding, a dump of card pages into a file, DataFlash pages read and written, the
// fills of the page and the 16 x 33 byte grid in three views.
#include <QDialog>
#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "recorder/page_reader.h"

class QButtonGroup;
class QFrame;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QToolButton;

namespace recorder {

class UnitLink;
struct StatusBlock;

// What the reader takes from the main window when it is shown.
struct PageReaderContext {
  std::string BegPageText;  // E_Beg_adr
  uint16_t ReadPortion = 4096;
  std::string DataDir;
  uint32_t SampleClock = 0;
};

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  TForm2(UnitLink& link, const StatusBlock& status, PageReaderContext context, QWidget* parent = nullptr);

  // ---- components ----
  QFrame* P_rd_wr;
  QLineEdit* E_fat;
  QLineEdit* E_ctr;
  QLineEdit* E_Chip;
  QPushButton* B_read_pageFat;
  QPushButton* B_read_page;
  QPushButton* B_read_B_file;
  QToolButton* SB_inkP;
  QToolButton* SB_inkM;
  QTableWidget* SGr0;
  QProgressBar* PBp;
  QFrame* P_Flash;
  QLineEdit* E_flex;
  QPushButton* B_r_flex;
  QPushButton* B_w_flex;
  QGroupBox* P_zapol;
  QPushButton* B_Rand;
  QPushButton* B_FF;
  QLineEdit* E_clr;
  QPushButton* B_KS;
  QPushButton* B_pattern;
  QGroupBox* RG_10;
  QButtonGroup* RG_10_items;
  QListWidget* LB;
  QPushButton* B_Close;

  // ---- handlers ----
  void FormShow();
  void B_read_pageClick(bool fromFat);
  void B_read_B_fileClick();
  void B_r_flexClick();
  void B_w_flexClick();
  void B_RandClick(QPushButton* which);
  void B_KSClick();
  void RG_10Click();
  void E_ctrChange();
  void B_CloseClick();

  // The page buffer (the first 512 bytes are the page).
  std::array<uint8_t, kReaderBufferBytes> Buffer{};
  GridView View() const;
  // Shows the buffer in the grid.
  void RefreshGrid();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildForm();
  // The page count of E_Chip (at least 1), limited to the read portion (the edit then shows the limit).
  uint32_t PageCount();
  // Parses the grid back into the buffer's first `count` bytes; false (and a message) on a bad cell.
  bool ParseGrid(size_t count);
  std::span<uint8_t, 512> Page() { return std::span<uint8_t, 512>(Buffer.data(), 512); }

  UnitLink& link_;
  const StatusBlock& status_;
  PageReaderContext context_;
  std::mt19937 random_;
  std::string checkError_;
};

}  // namespace recorder
