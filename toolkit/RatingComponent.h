#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A rating shown as a row of marks (stars), set by clicking or dragging
// across them.
class RatingComponent : public juce::Component
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void ratingChanged(RatingComponent* rating) = 0;
    };

    RatingComponent();

    // Below 1 or unchanged: ignored.
    void setMaximum(int maximum);
    int getMaximum() const { return maximum; }
    // Ignored unless 1 <= rating <= maximum and different.
    void setRating(int rating, bool notify);
    int getRating() const { return rating; }

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    void paint(juce::Graphics& g) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;

private:
    int getMarkWidth() const;
    int getMarkHeight() const;
    void rateAt(int x);

    int rating = 0;
    int maximum = 5;
    juce::Image emptyMark;
    juce::Image filledMark;
    juce::ListenerList<Listener> listeners;

    JUCE_DECLARE_NON_COPYABLE(RatingComponent)
};
