list(APPEND LEDGERLY_CORE_SOURCES
    order/OrderFormPrint.cpp
    order/VendorDetails.cpp
)
list(APPEND LEDGERLY_UI_SOURCES
    order/OrderWindow.cpp
)
