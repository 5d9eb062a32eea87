// The window's fonts and colours, and the groups of controls the handlers treat alike.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "net/interface_table.h"
#include "ui_tmainform.h"

// Fonts sized in pixels to the form's character heights (uic cannot write pixel sizes), the blue
// and red texts, the panels' text colour.
void ApplyFormStyle(Ui::TMainForm& ui);
// Caption and colour of a status panel.
void ShowPanel(QLabel* panel, const PanelState& state);

std::array<QLineEdit*, 6> AmacFields(const Ui::TMainForm& ui);
std::array<QLineEdit*, 6> LmacFields(const Ui::TMainForm& ui);
std::array<QLineEdit*, 6> RmacFields(const Ui::TMainForm& ui);
// The eighteen "+" and "-" buttons.
std::vector<QPushButton*> StepButtons(const Ui::TMainForm& ui);

// The process's current working directory; empty if it cannot be read.
std::string CurrentDirectory();
