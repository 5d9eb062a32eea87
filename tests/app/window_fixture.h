// The real main window with a recorder desk and scripted interface sources, in a temporary home.
#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "app/tmainform.h"
#include "support/fake_sources.h"
#include "support/recorder_desk.h"
#include "support/temp_home.h"

class WindowTest : public testing::Test {
 protected:
  WindowTest();
  ~WindowTest() override;

  // One capture device "eth0" whose adapter has a fixed, ready address.
  void UseReadyInterface();
  TMainForm& Open();

  template <class T>
  T* Find(const char* name) {
    T* widget = form->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
  std::vector<std::string> LogLines(const char* memo);
  void Click(const char* button);

  std::unique_ptr<TempHome> home;
  RecorderDesk desk;
  FakeDevices devices;
  FakeAdapters adapters;
  std::unique_ptr<TMainForm> form;
};
