using System;
using System.Linq;
using System.Text;
using System.Net;
using System.Collections.Generic;
using MySql.Data.MySqlClient;

namespace  np.用户表

{
  public class 用户表{
    public int 编号{get;set;}
    public String 名称{get;set;}
    public int X{get;set;}
  }

  public class 用户表Operation {
          List<用户表> 用户表s = new List<用户表>();
        public void 增加 ( 用户表 _用户表)
        {
            用户表s.Add(_用户表);
        }

        public bool 删除 (int _id)
        {
            for (int i = 0; i < 用户表s.Count; i++)
            {
                if (用户表s[i].id == _id)
                {
                     用户表s.RemoveAt(i);
                     return true;
                }
            }
             return false;
        }

        public bool 修改 ( 用户表 _用户表)
        {
            for (int i = 0; i < 用户表s.Count; i++)
            {
                if (用户表s[i].id == _用户表.id)
                {
                     用户表s[i]=_用户表;
                     return true;
                }
            }
             return false;
        }

        public int 实数 ()
        {
             int n=0;
             for ( int i=0; i < 用户表s.Count; i++)
             {
             if (用户表s[i].X==0)
                 {
                      n++;
                 }
              }
             return n;
        }

        public int 总数 ()
        {
             return 用户表s.Count;
        }

        public bool 提取 (int _id,用户表 _用户表)
        {
            for (int i = 0; i < 用户表s.Count; i++)
            {
                if (用户表s[i].id == _id)
                {
                     _用户表= 用户表s[i];
                     return true; 
                }
            }
             return false;
        }

        public void 分类提取(string _分类)
        {
        }

        public void 全部提取()
        {
        }

        public void 连接数据mysql库 ()
        {
        }

        public void 库_初始化 ()
        {
        }

        public void 库_增加 ()
        {
        }

        public void 库_删除 ()
        {
        }

        public void 库_修改 ()
        {
        }

        public void 库_查询 ()
        {
        }

        public void 库_全查 ()
        {
        }

  }
}
