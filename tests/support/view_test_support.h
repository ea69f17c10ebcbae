// Node list views on a framed manager for the view's tests; VIEW_TYPE overrides the view's seams
// for the tests that use it.
#pragma once

#include "manager_test_support.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_view.h"

#include <QApplication>
#include <QTabWidget>
#include <QWidget>

#include <memory>

// A framed editor whose layout shows the Data/Setup tabs `m_tabs`, and a 1000 pixels wide view on
// its manager, made by open_view; the view goes before the editor.
template <class VIEW_TYPE> class VIEW_TEST : public manager_test::MANAGER_TEST {
protected:
    void open_view(int height, int tab)
    {
        m_editor = std::make_unique<manager_test::EDITOR>(true);
        m_tabs.addTab(new QWidget, "Data");
        m_tabs.addTab(new QWidget, "Setup");
        m_tabs.setCurrentIndex(tab);
        m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, &m_tabs);
        m_view = std::make_unique<VIEW_TYPE>(nullptr, m());
        m_view->resize(1000, height);
    }
    void TearDown() override
    {
        m_view.reset();
        m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, nullptr);
        m_editor.reset();
        MANAGER_TEST::TearDown();
    }
    VOKR_TX_MANAGER* m() const { return m_editor->get(); }

    std::unique_ptr<manager_test::EDITOR> m_editor;
    QTabWidget m_tabs;  // the first instance's Data/Setup tabs
    std::unique_ptr<VIEW_TYPE> m_view;
};

// The view on the Setup tab over rows n0..n9 with n2..n5 grouped under the 4-bit bus row 2
// (members 3..6), shown and focused.
template <class VIEW_TYPE, int HEIGHT> class FRAMED_VIEW_TEST : public VIEW_TEST<VIEW_TYPE> {
protected:
    void SetUp() override
    {
        manager_test::MANAGER_TEST::SetUp();
        this->open_view(HEIGHT, 1);
        for (int i = 0; i < 10; ++i)
            manager_test::add_rows(this->m(), {QString("n%1").arg(i).toLatin1().constData()});
        ASSERT_TRUE(this->m()->group_node(2, 5));
        this->m_view->show();
        QApplication::setActiveWindow(this->m_view.get());
        this->m_view->setFocus();
    }
};
