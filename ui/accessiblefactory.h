#pragma once

//! Gives the client's own windows the interfaces a screen reader needs where a plain widget's
//! would say too little: a lamp is a button once the keyboard reaches it, a running call reads its party, number, state and duration as they are
//! now; a pop-up is an alert.
class AccessibleFactory
{
public:
    //! Once per process; later calls do nothing.
    static void install();
};
