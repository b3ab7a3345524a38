// A form a test makes, freed when the owner goes out of scope: an assertion that ends the test early does not
// leave a live window to the tests after it. Converts to the form's pointer, so it passes where one is asked.
#pragma once

template <class F> class TOwnedForm {
public:
    TOwnedForm() = default;
    explicit TOwnedForm(F* form) : FForm(form) {}
    ~TOwnedForm() { delete FForm; }
    TOwnedForm(const TOwnedForm&) = delete;
    TOwnedForm& operator=(const TOwnedForm&) = delete;

    // Frees the form held so far, then holds this one.
    void Reset(F* form = nullptr)
    {
        delete FForm;
        FForm = form;
    }

    F* operator->() const { return FForm; }
    F& operator*() const { return *FForm; }
    operator F*() const { return FForm; }

private:
    F* FForm = nullptr;
};
