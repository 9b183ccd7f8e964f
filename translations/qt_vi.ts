<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Vietnamese for the texts of Qt itself that the program shows: the standard
     buttons (OK, Cancel, Yes, No), the file dialog, the menus of text fields and
     scroll bars, and the names of the accessible actions. Debian ships none for
     Vietnamese. Compiled by lrelease at build time (translations/CMakeLists.txt). -->
<TS version="2.1" language="vi_VN">
<context>
    <name>QAbstractSpinBox</name>
    <message>
        <source>&amp;Select All</source>
        <translation>Chọn &amp;tất cả</translation>
    </message>
    <message>
        <source>&amp;Step up</source>
        <translation>&amp;Tăng một bậc</translation>
    </message>
    <message>
        <source>Step &amp;down</source>
        <translation>&amp;Giảm một bậc</translation>
    </message>
</context>
<context>
    <name>QAccessibleActionInterface</name>
    <message>
        <source>Decrease</source>
        <translation>Giảm</translation>
    </message>
    <message>
        <source>Decrease the value</source>
        <translation>Giảm giá trị</translation>
    </message>
    <message>
        <source>Goes back a page</source>
        <translation>Về trang trước</translation>
    </message>
    <message>
        <source>Goes to the next page</source>
        <translation>Sang trang sau</translation>
    </message>
    <message>
        <source>Increase</source>
        <translation>Tăng</translation>
    </message>
    <message>
        <source>Increase the value</source>
        <translation>Tăng giá trị</translation>
    </message>
    <message>
        <source>Next Page</source>
        <translation>Trang sau</translation>
    </message>
    <message>
        <source>Press</source>
        <translation>Nhấn</translation>
    </message>
    <message>
        <source>Previous Page</source>
        <translation>Trang trước</translation>
    </message>
    <message>
        <source>Scroll Down</source>
        <translation>Cuộn xuống</translation>
    </message>
    <message>
        <source>Scroll Left</source>
        <translation>Cuộn sang trái</translation>
    </message>
    <message>
        <source>Scroll Right</source>
        <translation>Cuộn sang phải</translation>
    </message>
    <message>
        <source>Scroll Up</source>
        <translation>Cuộn lên</translation>
    </message>
    <message>
        <source>Scrolls down</source>
        <translation>Cuộn xuống</translation>
    </message>
    <message>
        <source>Scrolls to the left</source>
        <translation>Cuộn sang trái</translation>
    </message>
    <message>
        <source>Scrolls to the right</source>
        <translation>Cuộn sang phải</translation>
    </message>
    <message>
        <source>Scrolls up</source>
        <translation>Cuộn lên</translation>
    </message>
    <message>
        <source>SetFocus</source>
        <translation>Đặt tiêu điểm</translation>
    </message>
    <message>
        <source>Sets the focus</source>
        <translation>Đặt tiêu điểm</translation>
    </message>
    <message>
        <source>ShowMenu</source>
        <translation>Mở menu</translation>
    </message>
    <message>
        <source>Shows the menu</source>
        <translation>Mở menu</translation>
    </message>
    <message>
        <source>Toggle</source>
        <translation>Bật/tắt</translation>
    </message>
    <message>
        <source>Toggles the state</source>
        <translation>Đổi trạng thái</translation>
    </message>
    <message>
        <source>Triggers the action</source>
        <translation>Thực hiện lệnh</translation>
    </message>
</context>
<context>
    <name>QComboBox</name>
    <message>
        <source>False</source>
        <translation>Sai</translation>
    </message>
    <message>
        <source>Open the combo box selection popup</source>
        <translation>Mở danh sách chọn</translation>
    </message>
    <message>
        <source>True</source>
        <translation>Đúng</translation>
    </message>
</context>
<context>
    <name>QDialogButtonBox</name>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Hủy</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>Đó&amp;ng</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Không</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>Đồng &amp;ý</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Lưu</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Có</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Hủy bỏ</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Áp dụng</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Hủy</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Đóng</translation>
    </message>
    <message>
        <source>Close without Saving</source>
        <translation>Đóng không lưu</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Bỏ đi</translation>
    </message>
    <message>
        <source>Don't Save</source>
        <translation>Không lưu</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Trợ giúp</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Bỏ qua</translation>
    </message>
    <message>
        <source>N&amp;o to All</source>
        <translation>Không với tất c&amp;ả</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Đồng ý</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Mở</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Đặt lại</translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation>Khôi phục mặc định</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Thử lại</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Lưu</translation>
    </message>
    <message>
        <source>Save All</source>
        <translation>Lưu tất cả</translation>
    </message>
    <message>
        <source>Yes to &amp;All</source>
        <translation>Có với tất &amp;cả</translation>
    </message>
</context>
<context>
    <name>QDirModel</name>
    <message>
        <source>Date Modified</source>
        <translation>Ngày sửa</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Kiểu</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Tên</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Cỡ</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Loại</translation>
    </message>
</context>
<context>
    <name>QErrorMessage</name>
    <message>
        <source>&amp;OK</source>
        <translation>Đồng &amp;ý</translation>
    </message>
    <message>
        <source>&amp;Show this message again</source>
        <translation>&amp;Hiện lại thông báo này</translation>
    </message>
    <message>
        <source>Critical Error:</source>
        <translation>Lỗi nghiêm trọng:</translation>
    </message>
    <message>
        <source>Debug Message:</source>
        <translation>Thông báo gỡ lỗi:</translation>
    </message>
    <message>
        <source>Fatal Error:</source>
        <translation>Lỗi không thể tiếp tục:</translation>
    </message>
    <message>
        <source>Information:</source>
        <translation>Thông tin:</translation>
    </message>
    <message>
        <source>Warning:</source>
        <translation>Cảnh báo:</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>%1
Directory not found.
Please verify the correct directory name was given.</source>
        <translation>%1
Không tìm thấy thư mục.
Xin kiểm tra lại tên thư mục.</translation>
    </message>
    <message>
        <source>%1
File not found.
Please verify the correct file name was given.</source>
        <translation>%1
Không tìm thấy tệp.
Xin kiểm tra lại tên tệp.</translation>
    </message>
    <message>
        <source>%1 File</source>
        <translation>Tệp %1</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 đã có.
Bạn có muốn thay nó không?</translation>
    </message>
    <message>
        <source>&amp;Choose</source>
        <translation>&amp;Chọn</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Xóa</translation>
    </message>
    <message>
        <source>&amp;New Folder</source>
        <translation>Thư mục &amp;mới</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Mở</translation>
    </message>
    <message>
        <source>&amp;Rename</source>
        <translation>Đổi &amp;tên</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Lưu</translation>
    </message>
    <message>
        <source>'%1' is write protected.
Do you want to delete it anyway?</source>
        <translation>“%1” đang được bảo vệ chống ghi.
Bạn vẫn muốn xóa nó?</translation>
    </message>
    <message>
        <source>Alias</source>
        <translation>Bí danh</translation>
    </message>
    <message>
        <source>Alias</source>
        <comment>Mac OS X Finder</comment>
        <translation>Bí danh</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Mọi tệp (*)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Mọi tệp (*)</translation>
    </message>
    <message>
        <source>Alt+Left</source>
        <translation>Alt+Left</translation>
    </message>
    <message>
        <source>Alt+Right</source>
        <translation>Alt+Right</translation>
    </message>
    <message>
        <source>Alt+Up</source>
        <translation>Alt+Up</translation>
    </message>
    <message>
        <source>Are you sure you want to delete '%1'?</source>
        <translation>Bạn có chắc muốn xóa “%1”?</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Lùi lại</translation>
    </message>
    <message>
        <source>Change to detail view mode</source>
        <translation>Chuyển sang xem chi tiết</translation>
    </message>
    <message>
        <source>Change to list view mode</source>
        <translation>Chuyển sang xem danh sách</translation>
    </message>
    <message>
        <source>Could not delete directory.</source>
        <translation>Không xóa được thư mục.</translation>
    </message>
    <message>
        <source>Create New Folder</source>
        <translation>Tạo thư mục mới</translation>
    </message>
    <message>
        <source>Create a New Folder</source>
        <translation>Tạo một thư mục mới</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Xóa</translation>
    </message>
    <message>
        <source>Detail View</source>
        <translation>Xem chi tiết</translation>
    </message>
    <message>
        <source>Directories</source>
        <translation>Thư mục</translation>
    </message>
    <message>
        <source>Directory:</source>
        <translation>Thư mục:</translation>
    </message>
    <message>
        <source>Drive</source>
        <translation>Ổ đĩa</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Tệp</translation>
    </message>
    <message>
        <source>File &amp;name:</source>
        <translation>&amp;Tên tệp:</translation>
    </message>
    <message>
        <source>File Folder</source>
        <translation>Thư mục</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Tệp</translation>
    </message>
    <message>
        <source>Files of type:</source>
        <translation>Loại tệp:</translation>
    </message>
    <message>
        <source>Find Directory</source>
        <translation>Tìm thư mục</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Thư mục</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Tới trước</translation>
    </message>
    <message>
        <source>Go back</source>
        <translation>Lùi lại</translation>
    </message>
    <message>
        <source>Go forward</source>
        <translation>Tới trước</translation>
    </message>
    <message>
        <source>Go to the parent directory</source>
        <translation>Lên thư mục cha</translation>
    </message>
    <message>
        <source>List View</source>
        <translation>Xem danh sách</translation>
    </message>
    <message>
        <source>List of places and bookmarks</source>
        <translation>Các nơi và dấu trang</translation>
    </message>
    <message>
        <source>Look in:</source>
        <translation>Tìm trong:</translation>
    </message>
    <message>
        <source>My Computer</source>
        <translation>Máy tính</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>Thư mục mới</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Mở</translation>
    </message>
    <message>
        <source>Parent Directory</source>
        <translation>Thư mục cha</translation>
    </message>
    <message>
        <source>Recent Places</source>
        <translation>Nơi dùng gần đây</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Bỏ</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Lưu thành</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <translation>Lối tắt</translation>
    </message>
    <message>
        <source>Show </source>
        <translation>Hiện </translation>
    </message>
    <message>
        <source>Show &amp;hidden files</source>
        <translation>Hiện các tệp ẩ&amp;n</translation>
    </message>
    <message>
        <source>Sidebar</source>
        <translation>Thanh bên</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Không rõ</translation>
    </message>
</context>
<context>
    <name>QFileSystemModel</name>
    <message>
        <source>%1 GB</source>
        <translation>%1 GB</translation>
    </message>
    <message>
        <source>%1 KB</source>
        <translation>%1 KB</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 TB</source>
        <translation>%1 TB</translation>
    </message>
    <message>
        <source>%1 byte(s)</source>
        <translation>%1 byte</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 byte</translation>
    </message>
    <message>
        <source>&lt;b&gt;The name "%1" can not be used.&lt;/b&gt;&lt;p&gt;Try using another name, with fewer characters or no punctuations marks.</source>
        <translation>&lt;b&gt;Không dùng được tên “%1”.&lt;/b&gt;&lt;p&gt;Xin thử một tên khác, ngắn hơn hoặc không có dấu chấm câu.</translation>
    </message>
    <message>
        <source>&lt;b&gt;The name "%1" cannot be used.&lt;/b&gt;&lt;p&gt;Try using another name, with fewer characters or no punctuation marks.</source>
        <translation>&lt;b&gt;Không dùng được tên “%1”.&lt;/b&gt;&lt;p&gt;Xin thử một tên khác, ngắn hơn hoặc không có dấu chấm câu.</translation>
    </message>
    <message>
        <source>Computer</source>
        <translation>Máy tính</translation>
    </message>
    <message>
        <source>Date Modified</source>
        <translation>Ngày sửa</translation>
    </message>
    <message>
        <source>Invalid filename</source>
        <translation>Tên tệp không hợp lệ</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Kiểu</translation>
    </message>
    <message>
        <source>My Computer</source>
        <translation>Máy tính</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Tên</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Cỡ</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Loại</translation>
    </message>
</context>
<context>
    <name>QInputDialog</name>
    <message>
        <source>Enter a value:</source>
        <translation>Nhập một giá trị:</translation>
    </message>
</context>
<context>
    <name>QLineEdit</name>
    <message>
        <source>&amp;Copy</source>
        <translation>Sao &amp;chép</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Dán</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Làm lại</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Hoàn tác</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>&amp;Cắt</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Xóa</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Chọn tất cả</translation>
    </message>
</context>
<context>
    <name>QMessageBox</name>
    <message>
        <source>&lt;h3&gt;About Qt&lt;/h3&gt;&lt;p&gt;This program uses Qt version %1.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Về Qt&lt;/h3&gt;&lt;p&gt;Chương trình này dùng Qt phiên bản %1.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>Về Qt</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Trợ giúp</translation>
    </message>
    <message>
        <source>Hide Details...</source>
        <translation>Ẩn chi tiết…</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Đồng ý</translation>
    </message>
    <message>
        <source>Show Details...</source>
        <translation>Xem chi tiết…</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Không</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Có</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Hủy bỏ</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Áp dụng</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Hủy</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Đóng</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Bỏ đi</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Trợ giúp</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Bỏ qua</translation>
    </message>
    <message>
        <source>N&amp;o to All</source>
        <translation>Không với tất c&amp;ả</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Đồng ý</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Mở</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Đặt lại</translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation>Khôi phục mặc định</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Thử lại</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Lưu</translation>
    </message>
    <message>
        <source>Save All</source>
        <translation>Lưu tất cả</translation>
    </message>
    <message>
        <source>Yes to &amp;All</source>
        <translation>Có với tất &amp;cả</translation>
    </message>
</context>
<context>
    <name>QProgressDialog</name>
    <message>
        <source>Cancel</source>
        <translation>Hủy</translation>
    </message>
</context>
<context>
    <name>QScrollBar</name>
    <message>
        <source>Bottom</source>
        <translation>Cuối</translation>
    </message>
    <message>
        <source>Left edge</source>
        <translation>Mép trái</translation>
    </message>
    <message>
        <source>Page down</source>
        <translation>Xuống một trang</translation>
    </message>
    <message>
        <source>Page left</source>
        <translation>Sang trái một trang</translation>
    </message>
    <message>
        <source>Page right</source>
        <translation>Sang phải một trang</translation>
    </message>
    <message>
        <source>Page up</source>
        <translation>Lên một trang</translation>
    </message>
    <message>
        <source>Right edge</source>
        <translation>Mép phải</translation>
    </message>
    <message>
        <source>Scroll down</source>
        <translation>Cuộn xuống</translation>
    </message>
    <message>
        <source>Scroll here</source>
        <translation>Cuộn tới đây</translation>
    </message>
    <message>
        <source>Scroll left</source>
        <translation>Cuộn sang trái</translation>
    </message>
    <message>
        <source>Scroll right</source>
        <translation>Cuộn sang phải</translation>
    </message>
    <message>
        <source>Scroll up</source>
        <translation>Cuộn lên</translation>
    </message>
    <message>
        <source>Top</source>
        <translation>Đầu</translation>
    </message>
</context>
<context>
    <name>QUnicodeControlCharacterMenu</name>
    <message>
        <source>FSI First strong isolate</source>
        <translation>FSI Tách theo ký tự mạnh đầu</translation>
    </message>
    <message>
        <source>Insert Unicode control character</source>
        <translation>Chèn ký tự điều khiển Unicode</translation>
    </message>
    <message>
        <source>LRE Start of left-to-right embedding</source>
        <translation>LRE Bắt đầu nhúng trái sang phải</translation>
    </message>
    <message>
        <source>LRI Left-to-right isolate</source>
        <translation>LRI Tách trái sang phải</translation>
    </message>
    <message>
        <source>LRM Left-to-right mark</source>
        <translation>LRM Dấu trái sang phải</translation>
    </message>
    <message>
        <source>LRO Start of left-to-right override</source>
        <translation>LRO Bắt đầu ép trái sang phải</translation>
    </message>
    <message>
        <source>PDF Pop directional formatting</source>
        <translation>PDF Kết thúc định hướng</translation>
    </message>
    <message>
        <source>PDI Pop directional isolate</source>
        <translation>PDI Kết thúc tách</translation>
    </message>
    <message>
        <source>RLE Start of right-to-left embedding</source>
        <translation>RLE Bắt đầu nhúng phải sang trái</translation>
    </message>
    <message>
        <source>RLI Right-to-left isolate</source>
        <translation>RLI Tách phải sang trái</translation>
    </message>
    <message>
        <source>RLM Right-to-left mark</source>
        <translation>RLM Dấu phải sang trái</translation>
    </message>
    <message>
        <source>RLO Start of right-to-left override</source>
        <translation>RLO Bắt đầu ép phải sang trái</translation>
    </message>
    <message>
        <source>ZWJ Zero width joiner</source>
        <translation>ZWJ Nối không độ rộng</translation>
    </message>
    <message>
        <source>ZWNJ Zero width non-joiner</source>
        <translation>ZWNJ Ngắt nối không độ rộng</translation>
    </message>
    <message>
        <source>ZWSP Zero width space</source>
        <translation>ZWSP Khoảng trắng không độ rộng</translation>
    </message>
</context>
<context>
    <name>QWidgetTextControl</name>
    <message>
        <source>&amp;Copy</source>
        <translation>Sao &amp;chép</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Dán</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Làm lại</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Hoàn tác</translation>
    </message>
    <message>
        <source>Copy &amp;Link Location</source>
        <translation>Chép địa chỉ &amp;liên kết</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>&amp;Cắt</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Xóa</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Chọn tất cả</translation>
    </message>
</context>
</TS>
