#pragma once

#include <memory>
#include <string>

class CTessarinDoc;

// What the window asks of the toolkit-free upgrade form: its start (which reads the kit) and
// the Program press, and the texts the start produced.
class CFormWorkflow {
public:
    explicit CFormWorkflow(CTessarinDoc& doc);
    ~CFormWorkflow();

    void OnInitialUpdate();
    void OnProgram();
    std::string TitleText() const;
    std::string DescriptionText() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
