// The host command set: the nelk_string forms, which pass their texts on as views to the forms
// joined inline in nelk_script_helper.h.
#include "nelk_script_helper.h"

bool nelk_script_helper::panelShow(const nelk_string& panel, const nelk_string& file, const nelk_string& extra) {
    return panelShow(nelk_stringview(panel), nelk_stringview(file), nelk_stringview(extra));
}

void nelk_script_helper::textPut(const nelk_string& property, const nelk_string& value, const nelk_string& panel,
                                 const nelk_string& control) {
    textPut(nelk_stringview(property), nelk_stringview(value), nelk_stringview(panel), nelk_stringview(control));
}

void nelk_script_helper::infoWrite(int driver, const nelk_string& text, int index, bool flag) {
    infoWrite(driver, nelk_stringview(text), index, flag);
}
